// The station window in its operators' languages, on a private X server
// with a window manager: a pseudo-language that wraps every word leaves none
// unwrapped in any screen the window shows; in each language every state
// word fits whole on the tiles of the window at its smallest; a released job
// that names a language opens in it, whatever the window keeps.

#include "stationwindow/addslotdialog.h"
#include "stationwindow/labelsdialog.h"
#include "stationwindow/language.h"
#include "stationwindow/serialnumbersdialog.h"
#include "stationwindow/slottile.h"
#include "stationwindow/stationsetup.h"
#include "stationwindow/stationwindow.h"
#include "testsupport.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QRegularExpression>
#include <QSpinBox>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

using namespace TestSupport;

namespace {

// "[Ŝţàţîöñ]": each letter marked, placeholders, accelerators and a file
// filter's patterns left as they are.
QString marked(const QString& words)
{
    static const QString plain = QStringLiteral("aceinosuyACEINOSUY");
    static const QString accented = QStringLiteral("àçéîñöšüýÀÇÉÎÑÖŠÜÝ");
    QString out;
    for (int i = 0; i < words.size(); ++i) {
        if (words[i] == QLatin1Char('%') && i + 1 < words.size() &&
            (words[i + 1].isDigit() || words[i + 1] == QLatin1Char('n'))) {
            out += words.mid(i, 2);
            ++i;
            continue;
        }
        const int at = plain.indexOf(words[i]);
        out += at >= 0 ? accented[at] : words[i];
    }
    return out;
}

QString pseudo(const QString& source)
{
    if (source.contains(QLatin1Char('|'))) {
        QStringList parts = source.split(QLatin1Char('|'));
        for (int i = 0; i < parts.size(); i += 2) {
            const int patterns = parts[i].indexOf(QLatin1String(" ("));
            parts[i] = QLatin1Char('[') + marked(parts[i].left(patterns)) + QLatin1Char(']') +
                       parts[i].mid(patterns);
        }
        return parts.join(QLatin1Char('|'));
    }
    const int lead = int(source.size() - QString(source).remove(QRegularExpression("^\\s+")).size());
    return source.left(lead) + QLatin1Char('[') + marked(source.mid(lead)) + QLatin1Char(']');
}

// The German file has every message: the same ones wrapped, as station_qps.qm.
bool makePseudoLanguage(const QString& folder, QString* why)
{
    QFile in(QStringLiteral(PROJECT_SOURCE_DIR "/translations/station_de.ts"));
    QFile out(folder + QStringLiteral("/station_qps.ts"));
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *why = QStringLiteral("cannot read station_de.ts or write the pseudo-language");
        return false;
    }
    QXmlStreamReader r(&in);
    QXmlStreamWriter w(&out);
    w.writeStartDocument();
    QString source;
    bool numerus = false;
    int messages = 0;
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement()) {
            const QStringView name = r.name();
            if (name == QLatin1String("translation")) {
                // Read past the German, write the wrapped source.
                r.skipCurrentElement();
                w.writeStartElement(QStringLiteral("translation"));
                if (numerus)
                    w.writeTextElement(QStringLiteral("numerusform"), pseudo(source));
                else
                    w.writeCharacters(pseudo(source));
                w.writeEndElement();
                ++messages;
                continue;
            }
            w.writeStartElement(name.toString());
            QXmlStreamAttributes attributes = r.attributes();
            if (name == QLatin1String("TS")) {
                // One plural form, and no Qt translation of its own.
                attributes.clear();
                attributes.append(QStringLiteral("version"), QStringLiteral("2.1"));
                attributes.append(QStringLiteral("language"), QStringLiteral("vi"));
            }
            if (name == QLatin1String("message"))
                numerus = r.attributes().value(QLatin1String("numerus")) == QLatin1String("yes");
            w.writeAttributes(attributes);
            if (name == QLatin1String("source")) {
                source = r.readElementText();
                w.writeCharacters(source);
                w.writeEndElement();
            }
        } else if (r.isEndElement()) {
            w.writeEndElement();
        } else if (r.isCharacters() && !r.isWhitespace()) {
            w.writeCharacters(r.text().toString());
        }
    }
    w.writeEndDocument();
    out.close();
    if (r.hasError() || messages < 100) {
        *why = QStringLiteral("station_de.ts: %1 (%2 messages)").arg(r.errorString()).arg(messages);
        return false;
    }
    QProcess lrelease;
    lrelease.start(QStringLiteral(LRELEASE_PATH),
                   {QStringLiteral("-silent"), out.fileName(), QStringLiteral("-qm"),
                    folder + QStringLiteral("/station_qps.qm")});
    if (!lrelease.waitForFinished(30000) || lrelease.exitCode() != 0) {
        *why = QStringLiteral("lrelease: ") + lrelease.readAllStandardError();
        return false;
    }
    return true;
}

// What is left of a text outside its [wrapped] parts: words no translation gave.
QString unwrapped(const QString& text, const QStringList& data)
{
    QString rest;
    int depth = 0;
    for (const QChar c : text) {
        if (c == QLatin1Char('['))
            ++depth;
        else if (c == QLatin1Char(']') && depth > 0)
            --depth;
        else if (depth == 0)
            rest += c;
    }
    for (const QString& d : data)
        rest.remove(d);
    rest.remove(QLatin1Char('&'));
    QStringList words;
    QRegularExpressionMatchIterator it = QRegularExpression("[A-Za-z]{2,}").globalMatch(rest);
    while (it.hasNext())
        words << it.next().captured();
    return words.join(QLatin1Char(' '));
}

// Every text a screen shows: its widgets' words, its menus' and their
// submenus', and each tile's (not the slot's own name and device).
QStringList shownTexts(QWidget* top)
{
    QStringList texts;
    const auto add = [&texts](const QString& where, const QString& text) {
        if (!text.trimmed().isEmpty())
            texts << where + QStringLiteral("\t") + text;
    };
    QList<QWidget*> widgets = top->findChildren<QWidget*>();
    widgets.prepend(top);
    for (QWidget* w : qAsConst(widgets)) {
        if (!w->isVisibleTo(top) && w != top && !qobject_cast<QMenu*>(w))
            continue;
        const QString where = QString::fromLatin1(w->metaObject()->className());
        if (w != top && w->isWindow() && !qobject_cast<QMenu*>(w))
            add(where + QStringLiteral(" title"), w->windowTitle());
        if (auto* l = qobject_cast<QLabel*>(w))
            add(where, l->text());
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            add(where, b->text());
        if (auto* e = qobject_cast<QLineEdit*>(w))
            add(where + QStringLiteral(" placeholder"), e->placeholderText());
        if (auto* s = qobject_cast<QSpinBox*>(w))
            add(where + QStringLiteral(" suffix"), s->suffix());
        if (auto* c = qobject_cast<QComboBox*>(w)) {
            for (int i = 0; i < c->count(); ++i)
                add(where + QStringLiteral(" item"), c->itemText(i));
        }
        if (auto* t = qobject_cast<SlotTile*>(w)) {
            const SlotTile::Face& f = t->face();
            for (const QString& part : QStringList{f.word, f.lines, f.left, f.band, f.counts, f.note} +
                                           f.detail)
                add(QStringLiteral("tile"), part);
        }
        for (QAction* a : w->actions()) {
            if (!a->isSeparator())
                add(QStringLiteral("action"), a->text());
        }
    }
    return texts;
}

// A line for each text with a word outside the wrapping.
QString unwrappedIn(const QStringList& texts, const QStringList& data)
{
    QStringList lines;
    for (const QString& t : texts) {
        const QString left = unwrapped(t.section(QLatin1Char('\t'), 1), data);
        if (!left.isEmpty())
            lines << QStringLiteral("%1 (%2)").arg(t, left);
    }
    return lines.join(QLatin1Char('\n'));
}

QString sha256Of(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly)
               ? QString::fromLatin1(
                     QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex())
               : QString();
}

} // namespace

class LanguagesTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        resetSeams();
        QFile::remove(StationSetup::storePath());
    }
    void cleanup() { StationLanguage::use(QStringLiteral("en")); }
    void pseudoLanguageLeavesNoWordUnwrapped();
    void everyStateWordFitsAtTheSmallestSize();
    void jobNamesItsOperatorsLanguage();
};

// Every screen the window shows on its own, and the boxes and dialogs it
// opens, with every word from a translation.
void LanguagesTest::pseudoLanguageLeavesNoWordUnwrapped()
{
    QString why;
    const QString folder = tempFolder() + "/pseudo";
    QDir().mkpath(folder);
    QVERIFY2(makePseudoLanguage(folder, &why), qPrintable(why));
    StationLanguage::addFolder(folder);
    QVERIFY(StationLanguage::available().contains("qps"));

    const QString firmware = tempFolder() + "/pseudo.s19";
    QVERIFY(makeSrecordFile(realBinaryBytes(16 * 40), firmware));
    const QString record = tempFolder() + "/pseudo.jsonl";
    QFile::remove(record);
    Adaptor a(tempFolder() + "/usb-P1");
    QVERIFY(a.plugIn({"--next-unit-after", "60000"}));
    const QString missing = tempFolder() + "/usb-P2-missing";

    StationWindow window;
    window.setLanguage("qps");
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // What is the bench's own: its slots' names and devices, its files.
    QStringList data{"P1", "P2", a.name, missing, firmware, record, "/dev/serial/by-id/...",
                     "S-records", "SHA-256",
                     "Tarvel Labs Firmware Station"};
    // The languages on offer, each by its own name.
    for (const QString& code : StationLanguage::available())
        data << StationLanguage::nativeName(code);
    const auto check = [&](const QString& screen, QWidget* top) {
        pump(300);
        const QString left = unwrappedIn(shownTexts(top), data);
        return left.isEmpty() ? QString() : screen + ":\n" + left;
    };
    QStringList found;
    found << check("an empty bench", &window);
    {
        ScriptedBoxes boxes;
        window.start(); // no firmware yet
        QVERIFY(!boxes.requests.isEmpty());
        found << unwrappedIn({"box\t" + boxes.texts().join(' ')}, data);
    }
    {
        ScriptedFileDialog files;
        files.choices << QString();
        QAction* open = window.menuBar()->actions().value(0)->menu()->actions().value(0);
        QVERIFY(open);
        open->trigger();
        QCOMPARE(files.showings, 1);
        // A filter's patterns are the files', not words.
        QStringList filter = files.lastFilter.split('|');
        for (int i = 0; i < filter.size(); ++i)
            filter[i] = i % 2 ? QString() : filter[i].section(" (", 0, 0);
        found << unwrappedIn({"file dialog title\t" + files.lastTitle,
                              "file dialog filter\t" + filter.join(' ')},
                             data);
    }
    QVERIFY(window.openFirmware(firmware));
    window.setRecordPath(record);
    QVERIFY(window.addSlot(a.name, "P1"));
    QVERIFY(window.addSlot(missing, "P2"));
    found << check("a bench of two slots, stopped", &window);
    QVERIFY(window.start());
    QVERIFY(waitFor([&] { return window.tiles()[0]->look() == SlotTile::Look::Flashing; }, 10000));
    found << check("flashing, an adaptor missing", &window);
    {
        // Stopping with a unit in flight asks first; it keeps running.
        ScriptedBoxes boxes;
        boxes.choices << 2;
        window.stop();
        QCOMPARE(boxes.requests.size(), 1);
        found << unwrappedIn({"box\t" + boxes.texts().join(' '),
                              "box buttons\t" + boxes.requests[0].choices.join(' ')},
                             data);
    }
    QVERIFY(waitFor([&] { return window.tiles()[0]->look() == SlotTile::Look::Pass; }, 30000));
    found << check("a unit passed", &window);
    window.stop();
    QVERIFY(waitFor([&] { return !window.station().running(); }, 10000));
    found << check("stopped again", &window);

    // The dialogs the window opens.
    AddSlotDialog add("P3", &window);
    found << check("Add Slot", &add);
    LabelsDialog labels(window.bench(), &window);
    found << check("Labels", &labels);
    SerialNumbersDialog serials(window.bench(), record + ".serial", &window);
    found << check("Serial Numbers", &serials);

    found.removeAll(QString());
    QVERIFY2(found.isEmpty(), qPrintable(found.join('\n')));
}

// Each language's longest word for each state, a serial number beside the
// results, whole on the tiles of a four-slot bench shown at its smallest,
// larger than the slot's name, and in glyphs the font has.
void LanguagesTest::everyStateWordFitsAtTheSmallestSize()
{
    StationWindow window;
    for (int i = 0; i < 4; ++i)
        QVERIFY(window.addSlot(tempFolder() + QStringLiteral("/usb-F%1-missing").arg(i),
                               QStringLiteral("Bench F%1").arg(i)));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (const QString& code : StationLanguage::available()) {
        window.setLanguage(code);
        QCOMPARE(StationLanguage::current(), code);
        window.resize(window.minimumSizeHint());
        pump(400);
        QSize smallest = window.tiles()[0]->size();
        for (SlotTile* t : window.tiles())
            smallest = smallest.boundedTo(t->size());
        QVERIFY2(smallest.width() <= 320, qPrintable(QStringLiteral("%1 px wide").arg(smallest.width())));
        for (int look = int(SlotTile::Look::Stopped); look <= int(SlotTile::Look::Fail); ++look) {
            SlotTile::Face face;
            face.look = SlotTile::Look(look);
            face.word = face.look == SlotTile::Look::Silent
                            ? SlotTile::tr("No answer for %n s", "", 999)
                            : SlotTile::words(face.look);
            if (face.look == SlotTile::Look::Pass || face.look == SlotTile::Look::Fail)
                face.serial = QStringLiteral("#1000123");
            face.name = QStringLiteral("Bench F1");
            face.counts = SlotTile::tr("%1 passed, %2 failed").arg(120).arg(3);
            face.detail = QStringList{SlotTile::reasonWords(QStringLiteral("place the next unit"))};
            const SlotTile::Layout l = SlotTile::layout(smallest, face, window.tiles()[0]->font());
            const QString shown = face.serial.isEmpty() ? face.word : face.word + "  " + face.serial;
            const QString at = QStringLiteral("%1, %2 on %3x%4")
                                   .arg(code, shown)
                                   .arg(smallest.width())
                                   .arg(smallest.height());
            QVERIFY2(QFontMetrics(l.state).horizontalAdvance(shown) <= l.word.width(),
                     qPrintable(at + ": wider than its place"));
            QVERIFY2(l.state.pixelSize() > l.small.pixelSize(),
                     qPrintable(at + QStringLiteral(": %1 px, the name %2 px")
                                         .arg(l.state.pixelSize())
                                         .arg(l.small.pixelSize())));
            const QFontMetrics metrics(l.state);
            for (const uint c : shown.toUcs4())
                QVERIFY2(metrics.inFontUcs4(c),
                         qPrintable(at + ": no glyph for U+" + QString::number(c, 16) +
                                    " (the package recommends fonts-noto-cjk)"));
        }
        // And the tiles as they are: each one's word as painted.
        for (SlotTile* t : window.tiles()) {
            const SlotTile::Layout l = SlotTile::layout(t->size(), t->face(), t->font());
            QVERIFY2(QFontMetrics(l.state).horizontalAdvance(t->face().word) <= l.word.width(),
                     qPrintable(code + ": " + t->face().word));
        }
    }
}

// A job with language=vi opens in Vietnamese over the German the window
// keeps, with View > Language not to be changed; closed, German again.
void LanguagesTest::jobNamesItsOperatorsLanguage()
{
    JobSigner signer;
    if (!signer.ready())
        QSKIP(qPrintable(signer.why()));
    const QString firmware = tempFolder() + "/spoken.s19";
    QVERIFY(makeSrecordFile(realBinaryBytes(16 * 20), firmware));
    const QString job = writeFile(
        "spoken.conf",
        QStringLiteral("[Station]\nname = bench-V\nfile = %1\nsha256 = %2\nports = %3\n"
                       "record = %4\nlanguage = vi\n")
            .arg(firmware, sha256Of(firmware), tempFolder() + "/usb-V1",
                 tempFolder() + "/spoken.jsonl")
            .toUtf8());
    QVERIFY(signer.sign(job));
    StationSetup kept;
    kept.language = "de";
    QString why;
    QVERIFY2(kept.save(&why), qPrintable(why));

    StationWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const auto menus = [&window] {
        QStringList titles;
        for (QAction* a : window.menuBar()->actions())
            titles << a->text();
        return titles;
    };
    QCOMPARE(menus().value(0), QStringLiteral("&Datei"));
    QVERIFY(window.openJob(job));
    QCOMPARE(StationLanguage::current(), QStringLiteral("vi"));
    QCOMPARE(menus().value(0), QStringLiteral("&Tệp"));
    QVERIFY(window.findChild<QLabel*>("job")->text().startsWith("Công việc đã phát hành"));
    QCOMPARE(window.tiles().value(0)->face().word, QStringLiteral("Đã dừng"));
    QMenu* view = window.menuBar()->actions().value(2)->menu();
    QMenu* languages = view->actions().value(1)->menu();
    QVERIFY(languages && !languages->isEnabled());
    // Nor does the command line's choice move it.
    window.setLanguage("es");
    QCOMPARE(StationLanguage::current(), QStringLiteral("vi"));
    window.operatorLock().unlock("bob");
    QVERIFY(window.closeJob());
    QCOMPARE(StationLanguage::current(), QStringLiteral("es"));
    window.setLanguage(QString());
    QCOMPARE(StationLanguage::current(), QStringLiteral("de"));
    QCOMPARE(menus().value(0), QStringLiteral("&Datei"));
}

WINDOW_TEST_MAIN(LanguagesTest, "tst_languages")

#include "tst_languages.moc"
