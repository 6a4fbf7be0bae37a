#pragma once

#include "coresupport.h"
#include "ui/clock.h"
#include "ui/commondialog.h"
#include "ui/messageboxes.h"

#include <QApplication>
#include <QAction>
#include <QDateTime>

namespace TestSupport {

// Puts every seam back: real message boxes are replaced by a recorder that
// answers OK, no file dialog handler, the system clock, and the core seams.
void resetSeams();

// Records every message box and answers from a queue (OK when it is empty).
class ScriptedBoxes
{
public:
    ScriptedBoxes();
    ~ScriptedBoxes();

    QVector<MessageBoxes::Request> requests;
    QVector<MessageBoxes::Answer> answers;
    QVector<int> choices; // for choose() boxes; the default when empty
    // Runs while a box is "open", before it is answered.
    std::function<void(const MessageBoxes::Request&)> whileOpen;
    int deepest = 0; // most boxes open at once

    QStringList texts() const;
};

// A clock the test drives. Each reading of seconds() may step it forward, so
// that deadlines pass without waiting.
class FakeClock : public Clock
{
public:
    FakeClock();
    ~FakeClock() override;

    double seconds() const override;
    QDateTime now() const override;
    void pause(int ms) override;

    void advance(double seconds) { m_offset += seconds; }
    // Runs at every pause, while no event is handled.
    std::function<void()> duringPause;

    QDateTime start = QDateTime(QDate(2026, 12, 7), QTime(10, 0, 0, 700));
    double stepPerReading = 0;
    bool realPause = false;
    int pauses = 0;

private:
    mutable double m_offset = 0;
};

// Chooses files for the upload's Open dialog without a window.
class ScriptedFileDialog
{
public:
    ScriptedFileDialog();
    ~ScriptedFileDialog();

    // One entry per showing: a path, or an empty string for Cancel.
    QStringList choices;
    // Runs while the dialog is "open" (for example to let replies arrive).
    std::function<void()> whileOpen;
    int showings = 0;
    QString lastTitle;
    QString lastFilter;
    QString fileNameWhenShown;
};

// The X session a window test's windows are on (see WINDOW_TEST_MAIN).
XSession& xSession();
// A window's action by its text as its menus show it; none when it has none.
QAction* actionNamed(QWidget& window, const QString& text);
// A window test's main: its windows mapped, sized and focused by a real
// window system (Xvfb and openbox), or offscreen where there is none.
int windowTestMain(int argc, char* argv[], const char* name,
                   const std::function<int(int, char**)>& run);

} // namespace TestSupport

#define WINDOW_TEST_MAIN(TestObject, name)                                                         \
    int main(int argc, char* argv[])                                                               \
    {                                                                                              \
        return TestSupport::windowTestMain(argc, argv, name, [](int c, char** v) {                 \
            TestObject test;                                                                       \
            return QTest::qExec(&test, c, v);                                                      \
        });                                                                                        \
    }

#define LOADER_TEST_MAIN(TestObject)                                                               \
    int main(int argc, char* argv[])                                                               \
    {                                                                                              \
        TestSupport::isolateEnvironment();                                                         \
        QApplication app(argc, argv);                                                              \
        app.setQuitOnLastWindowClosed(false);                                                      \
        TestSupport::resetSeams();                                                                 \
        TestObject test;                                                                           \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
