// The layers as the build has them: every include in src/ read against the
// table of what each folder may use, the Qt modules of the libraries below
// the windows, and what the programs link.

#include "coresupport.h"

#include <QDir>
#include <QDirIterator>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QSet>

using namespace TestSupport;

namespace {

const QString source = QStringLiteral(SOURCE_DIR "/src");

// What each folder may include besides itself; a new folder must be placed.
const QHash<QString, QStringList>& layers()
{
    static const QHash<QString, QStringList> table = {
        {"platform", {}},
        {"serial", {"platform"}},
        {"upload", {"platform", "serial"}},
        {"records", {"platform", "serial", "upload"}},
        {"broker", {"platform", "serial", "upload", "records"}},
        {"station", {"platform", "serial", "upload", "records", "broker"}},
        {"bus", {"platform", "serial", "upload", "records", "broker", "station"}},
        {"service", {"platform", "serial", "upload", "records", "broker", "station"}},
        {"ui", {"platform", "serial", "upload"}},
        {"properties", {"platform", "serial", "upload", "ui"}},
        {"terminal", {"platform", "serial", "upload", "ui", "properties"}},
        {"stationwindow",
         {"platform", "serial", "upload", "records", "broker", "station", "bus", "ui"}},
        {"cli", {"platform", "serial", "upload", "records", "broker", "station", "bus", "service"}},
        {"app",
         {"platform", "serial", "upload", "records", "broker", "station", "bus", "service", "ui",
          "properties", "terminal", "stationwindow", "cli"}},
    };
    return table;
}

// The headers a Qt module installs, as an include names them.
QSet<QString> moduleHeaders(const QString& module)
{
    QSet<QString> names;
    const QDir folder(QLibraryInfo::path(QLibraryInfo::HeadersPath) + QLatin1Char('/') + module);
    for (const QString& name : folder.entryList(QDir::Files))
        names << name << module + QLatin1Char('/') + name;
    return names;
}

struct Include {
    QString file; // relative to src/
    int line;
    QString text;
};

QVector<Include> includesIn(const QString& folder, const QRegularExpression& form)
{
    QVector<Include> found;
    QDirIterator it(source + QLatin1Char('/') + folder, {"*.h", "*.cpp"}, QDir::Files);
    while (it.hasNext()) {
        QFile f(it.next());
        f.open(QIODevice::ReadOnly);
        int n = 0;
        while (!f.atEnd()) {
            const QString line = QString::fromUtf8(f.readLine());
            ++n;
            const QRegularExpressionMatch m = form.match(line);
            if (m.hasMatch())
                found.append({QDir(source).relativeFilePath(f.fileName()), n, m.captured(1)});
        }
    }
    return found;
}

// The folder of src/ an include names; empty for the generated version.h.
QString folderOf(const Include& inc, QString* error)
{
    const QString here = inc.file.section(QLatin1Char('/'), 0, 0);
    const QString path = QDir::cleanPath(here + QLatin1Char('/') + inc.text);
    if (QFile::exists(source + QLatin1Char('/') + path))
        return path.section(QLatin1Char('/'), 0, 0);
    if (QFile::exists(source + QLatin1Char('/') + inc.text))
        return inc.text.section(QLatin1Char('/'), 0, 0);
    // Made by the build: the version, moc's output for a file's own classes,
    // and the bus's adaptor and proxy, made from the interface's XML in src/bus.
    if (inc.text == QLatin1String("version.h") || inc.text.endsWith(QLatin1String(".moc")))
        return QString();
    if (here == QLatin1String("bus") &&
        (inc.text == QLatin1String("benchadaptor.h") || inc.text == QLatin1String("benchinterface.h")))
        return QStringLiteral("bus");
    *error = QStringLiteral("%1:%2: \"%3\" is no file of src/")
                 .arg(inc.file)
                 .arg(inc.line)
                 .arg(inc.text);
    return QString();
}

// The shared libraries a program asks for (readelf's NEEDED entries).
QStringList needed(const QString& program)
{
    QProcess readelf;
    readelf.start(QStringLiteral("readelf"), {QStringLiteral("-d"), program});
    readelf.waitForFinished(10000);
    QStringList libraries;
    static const QRegularExpression entry(QStringLiteral("\\(NEEDED\\).*\\[(.+)\\]"));
    for (const QString& line :
         QString::fromLocal8Bit(readelf.readAllStandardOutput()).split('\n')) {
        const QRegularExpressionMatch m = entry.match(line);
        if (m.hasMatch())
            libraries << m.captured(1);
    }
    return libraries;
}

} // namespace

class LayersTest : public QObject
{
    Q_OBJECT

private slots:
    void everyFolderIsPlaced();
    void includesGoDownOnly();
    void coreLibrariesHaveNoWidgets_data();
    void coreLibrariesHaveNoWidgets();
    void programsLinkWhatTheyUse_data();
    void programsLinkWhatTheyUse();
};

void LayersTest::everyFolderIsPlaced()
{
    const QStringList folders = QDir(source).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QVERIFY(folders.size() >= 10);
    for (const QString& f : folders)
        QVERIFY2(layers().contains(f), qPrintable("src/" + f + " has no place in the layers"));
}

void LayersTest::includesGoDownOnly()
{
    const QRegularExpression quoted(QStringLiteral("^\\s*#\\s*include\\s+\"([^\"]+)\""));
    QStringList wrong;
    int seen = 0;
    for (auto it = layers().begin(); it != layers().end(); ++it) {
        for (const Include& inc : includesIn(it.key(), quoted)) {
            ++seen;
            QString error;
            const QString folder = folderOf(inc, &error);
            if (!error.isEmpty())
                wrong << error;
            else if (!folder.isEmpty() && folder != it.key() && !it.value().contains(folder))
                wrong << QStringLiteral("%1:%2: src/%3 may not include src/%4 (\"%5\")")
                             .arg(inc.file)
                             .arg(inc.line)
                             .arg(it.key(), folder, inc.text);
        }
    }
    QVERIFY(seen > 200);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join('\n')));
}

void LayersTest::coreLibrariesHaveNoWidgets_data()
{
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QStringList>("modules"); // none of whose headers they include
    const QStringList core{"platform", "serial", "upload"};
    const QStringList station{"records", "broker", "station"};
    QTest::newRow("loadercore") << core << QStringList{"QtWidgets", "QtGui", "QtSql", "QtDBus"};
    QTest::newRow("stationcore") << station << QStringList{"QtWidgets", "QtGui", "QtDBus"};
    QTest::newRow("stationbus") << QStringList{"bus"} << QStringList{"QtWidgets", "QtGui"};
    QTest::newRow("loaderservice and loadercli")
        << QStringList{"service", "cli"} << QStringList{"QtWidgets", "QtGui"};
}

void LayersTest::coreLibrariesHaveNoWidgets()
{
    QFETCH(QStringList, folders);
    QFETCH(QStringList, modules);
    QSet<QString> forbidden;
    for (const QString& m : modules)
        forbidden += moduleHeaders(m);
    QVERIFY2(forbidden.contains("QWidget") || !modules.contains("QtWidgets"),
             "Qt's headers were not found");
    const QRegularExpression angled(QStringLiteral("^\\s*#\\s*include\\s+<([^>]+)>"));
    QStringList wrong;
    for (const QString& folder : folders) {
        for (const Include& inc : includesIn(folder, angled)) {
            if (forbidden.contains(inc.text))
                wrong << QStringLiteral("%1:%2: <%3>").arg(inc.file).arg(inc.line).arg(inc.text);
            if (folder != QLatin1String("service") &&
                inc.text.startsWith(QLatin1String("systemd/")))
                wrong << QStringLiteral("%1:%2: <%3> outside src/service")
                             .arg(inc.file)
                             .arg(inc.line)
                             .arg(inc.text);
        }
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join('\n')));
}

void LayersTest::programsLinkWhatTheyUse_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("mustNot");
    QTest::addColumn<QStringList>("must");
    QTest::newRow("firmware-loader")
        << QStringLiteral(LOADER_PATH) << QStringList{"libsystemd", "libQt6Sql", "libmosquitto"}
        << QStringList{"libQt6Widgets", "libQt6SerialPort"};
    QTest::newRow("firmware-station") << QStringLiteral(STATION_PATH) << QStringList{"libsystemd"}
                                      << QStringList{"libQt6Widgets", "libQt6Sql", "libmosquitto"};
    QTest::newRow("firmware-upload")
        << QStringLiteral(FIRMWARE_UPLOAD_PATH) << QStringList{"libQt6Widgets", "libQt6Gui"}
        << QStringList{"libsystemd", "libQt6Sql", "libmosquitto", "libQt6DBus"};
}

void LayersTest::programsLinkWhatTheyUse()
{
    QFETCH(QString, program);
    QFETCH(QStringList, mustNot);
    QFETCH(QStringList, must);
    const QStringList libraries = needed(program);
    QVERIFY2(!libraries.isEmpty(), qPrintable(program + ": readelf found nothing"));
    const auto links = [&](const QString& name) {
        return std::any_of(libraries.begin(), libraries.end(),
                           [&](const QString& l) { return l.startsWith(name + '.'); });
    };
    for (const QString& name : mustNot)
        QVERIFY2(!links(name), qPrintable(program + " links " + name));
    for (const QString& name : must)
        QVERIFY2(links(name), qPrintable(program + " does not link " + name));
}

CORE_TEST_MAIN(LayersTest)
#include "tst_layers.moc"
