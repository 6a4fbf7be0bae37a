// The upload engine fed any stream of events: replies, noise, pacing ticks,
// the transmit buffer running empty or being dropped, Cancel, the port
// closing and opening, a new upload. After every event:
//  - what went out is the file's lines in order, a line again only after a
//    "+" answered it, the next only after a "*";
//  - never a line of an earlier upload, never a line after Cancel;
//  - nothing past the end of the file;
//  - Cancel always ends the upload.
#include "upload/uploadengine.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

struct Files {
    QTemporaryDir folder;
    QString paths[2];
    QList<QByteArray> lines[2];
    Files()
    {
        const QByteArray texts[2] = {"S0030000FC\nA1\nA2\n\nA4\r\nS9030000FC\n", "B1\nB2\nB3\n"};
        for (int i = 0; i < 2; ++i) {
            paths[i] = folder.filePath(QStringLiteral("f%1").arg(i));
            QFile f(paths[i]);
            f.open(QIODevice::WriteOnly);
            f.write(texts[i]);
            for (QByteArray line : texts[i].split('\n')) {
                if (line.endsWith('\r'))
                    line.chop(1);
                lines[i] << line;
            }
            lines[i].removeLast(); // after the last LF
        }
    }
};

struct Harness : UploadHost {
    UploadEngine engine{*this};
    const Files& files;
    int file = -1;    // of the upload under way; -1 none
    int current = -1; // index of the line last handed to the port
    int reply = -1;   // the reply the next send answers
    bool over = true; // the upload has ended
    bool receiveOn = true, portOpen = true, holding = false, queued = false, pacing = false;
    QByteArray unread;

    explicit Harness(const Files& f) : files(f) {}

    void showTraffic(const QString&) override {}
    Status send(const QByteArray& line) override
    {
        check(!over && file >= 0);
        const QList<QByteArray>& lines = files.lines[file];
        // The first line first; then the same line after "+", the next after "*".
        int index = 0;
        if (current >= 0) {
            check(reply == '*' || reply == '+');
            index = reply == '+' ? current : current + 1;
        }
        check(index < lines.size() && lines[index] == line);
        reply = -1;
        current = index;
        if (!portOpen)
            return Status::failure(QStringLiteral("closed")); // the line did not go: no harm
        queued = holding;
        return Status::ok();
    }
    bool transmitBufferEmpty() override { return !queued; }
    void setReceiveEvents(bool on) override { receiveOn = on; }
    void discardInput() override { unread.clear(); }
    void armPacing() override { pacing = true; }
    void restartPortReset() override {}
    void stopPortReset() override {}
    void ended(const UploadOutcome& outcome) override
    {
        check(!over);
        check(outcome.kind != UploadOutcome::Kind::Failed || !outcome.message.isEmpty());
        over = true;
    }

    void deliver()
    {
        while (receiveOn && !unread.isEmpty()) {
            const int last = uchar(unread.back());
            unread.clear();
            if (!engine.bSending)
                continue;
            if (engine.state() == UploadEngine::State::WaitingReply ||
                engine.state() == UploadEngine::State::FirstTransmit ||
                engine.state() == UploadEngine::State::Pacing) {
                if (last == '*' || last == '+')
                    reply = last;
            }
            engine.HandshakeStep(last);
        }
    }
    void start(int which)
    {
        if (engine.bSending)
            return;
        file = which;
        current = -1;
        reply = -1;
        over = false;
        engine.choose();
        QString why;
        const auto image = FirmwareImage::read(files.paths[which], &why);
        check(image.has_value());
        (void)engine.sendFirstLine(*image);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const Files files;
    Harness h(files);
    h.start(0);
    for (size_t i = 0; i < size; ++i) {
        switch (data[i] % 12) {
        case 0:
            h.unread += '*';
            break;
        case 1:
            h.unread += '+';
            break;
        case 2:
            h.unread += char(data[i]);
            break; // noise, or a reply
        case 3:
            if (h.pacing) {
                h.pacing = false;
                h.engine.pacingTick();
            }
            break;
        case 4:
            if (h.queued) {
                h.queued = false;
                h.engine.transmitSettled(true, QString());
            }
            break;
        case 5:
            if (h.queued) {
                h.queued = false;
                h.engine.transmitSettled(false, QStringLiteral("dropped"));
            }
            break;
        case 6:
            h.engine.Cancel();
            check(h.over && !h.engine.bSending);
            h.file = -1;
            break;
        case 7:
            h.portOpen = !h.portOpen;
            break;
        case 8:
            h.holding = !h.holding;
            break;
        case 9:
            h.start(data[i] & 0x10 ? 1 : 0);
            break;
        case 10:
            h.engine.CompletionCheck();
            break;
        case 11:
            h.unread += "+*"[data[i] >> 7];
            break;
        }
        h.deliver();
        if (h.over)
            h.file = -1;
        check(h.over == !h.engine.bSending);
    }
    h.engine.Cancel();
    check(h.over);
    return 0;
}
