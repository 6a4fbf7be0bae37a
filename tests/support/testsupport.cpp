#include "testsupport.h"

#include <QDir>
#include <cstdio>
#include <cstdlib>

namespace TestSupport {

void resetSeams()
{
    MessageBoxes::setHandler([](const MessageBoxes::Request&) { return MessageBoxes::Answer::Ok; });
    MessageBoxes::setChoiceHandler([](const MessageBoxes::Request& r) { return r.defaultChoice; });
    CommonDialog::setHandler([](CommonDialog&) { return CommonDialog::cdlCancel; });
    Clock::setInstance(nullptr);
    resetCoreSeams();
}

ScriptedBoxes::ScriptedBoxes()
{
    MessageBoxes::setHandler([this](const MessageBoxes::Request& request) {
        requests << request;
        deepest = qMax(deepest, MessageBoxes::openCount());
        if (whileOpen)
            whileOpen(request);
        return answers.isEmpty() ? MessageBoxes::Answer::Ok : answers.takeFirst();
    });
    MessageBoxes::setChoiceHandler([this](const MessageBoxes::Request& request) {
        requests << request;
        return choices.isEmpty() ? request.defaultChoice : choices.takeFirst();
    });
}

ScriptedBoxes::~ScriptedBoxes()
{
    MessageBoxes::setHandler([](const MessageBoxes::Request&) { return MessageBoxes::Answer::Ok; });
    MessageBoxes::setChoiceHandler([](const MessageBoxes::Request& r) { return r.defaultChoice; });
}

QStringList ScriptedBoxes::texts() const
{
    QStringList list;
    for (const auto& r : requests)
        list << r.text;
    return list;
}

FakeClock::FakeClock()
{
    Clock::setInstance(this);
}

FakeClock::~FakeClock()
{
    Clock::setInstance(nullptr);
}

double FakeClock::seconds() const
{
    m_offset += stepPerReading;
    return 1000.0 + m_offset;
}

QDateTime FakeClock::now() const
{
    return start.addMSecs(qint64(m_offset * 1000.0));
}

void FakeClock::pause(int ms)
{
    ++pauses;
    if (duringPause)
        duringPause();
    if (realPause)
        Clock().pause(ms);
    m_offset += ms / 1000.0;
}

ScriptedFileDialog::ScriptedFileDialog()
{
    CommonDialog::setHandler([this](CommonDialog& dialog) {
        ++showings;
        lastTitle = dialog.DialogTitle;
        lastFilter = dialog.Filter;
        fileNameWhenShown = dialog.FileName;
        if (whileOpen)
            whileOpen();
        if (choices.isEmpty())
            return CommonDialog::cdlCancel;
        const QString choice = choices.takeFirst();
        if (choice.isEmpty())
            return CommonDialog::cdlCancel;
        dialog.FileName = choice;
        return 0;
    });
}

ScriptedFileDialog::~ScriptedFileDialog()
{
    CommonDialog::setHandler([](CommonDialog&) { return CommonDialog::cdlCancel; });
}

XSession& xSession()
{
    static XSession session;
    return session;
}

QAction* actionNamed(QWidget& window, const QString& text)
{
    for (QAction* a : window.findChildren<QAction*>()) {
        if (a->text() == text)
            return a;
    }
    return nullptr;
}

int windowTestMain(int argc, char* argv[], const char* name,
                   const std::function<int(int, char**)>& run)
{
    isolateEnvironment();
    if (xSession().start()) {
        ::setenv("DISPLAY", qPrintable(xSession().display()), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    } else {
        std::fprintf(stderr, "%s: no Xvfb and openbox here; on the offscreen platform\n", name);
    }
    int status = 0;
    {
        QApplication app(argc, argv);
        app.setQuitOnLastWindowClosed(false);
        resetSeams();
        status = run(argc, argv);
    }
    xSession().stop();
    return status;
}

} // namespace TestSupport
