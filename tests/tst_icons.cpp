// Without Qt's SVG image plugin the pictures still show, from the PNG
// renderings, and standard error says which package is missing. The
// plugin is hidden by giving Qt a plugin folder that has the platform
// plugins only.

#include "coresupport.h"
#include "terminal/clickableimage.h"
#include "terminal/frmterminal.h"
#include "ui/icons.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QTemporaryDir>
#include <QToolBar>

using namespace TestSupport;

class IconsTest : public QObject
{
    Q_OBJECT

private slots:
    void withoutTheSvgPlugin();
};

void IconsTest::withoutTheSvgPlugin()
{
    QTest::ignoreMessage(QtWarningMsg, "Qt's SVG image plugin is missing (Debian package "
                                       "libqt6svg6); the icons are drawn from bitmaps.");
    QCOMPARE(Icons::svgAvailable(), false);
    for (const char* name : {"lamp-green", "lamp-red", "properties", "transmit", "terminal"})
        QVERIFY2(!Icons::load(QLatin1String(name)).pixmap(16, 16).isNull(), name);
    frmTerminal form;
    QVERIFY(!form.imgConnected->pixmap().isNull());
    QVERIFY(!form.toolbarButton("Properties")->icon().pixmap(16, 16).isNull());
}

int main(int argc, char* argv[])
{
    TestSupport::isolateEnvironment();
    QTemporaryDir plugins;
    QFile::link(QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms"),
                plugins.filePath(QStringLiteral("platforms")));
    QCoreApplication::setLibraryPaths({plugins.path()});
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    TestSupport::resetCoreSeams();
    IconsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_icons.moc"
