#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// Every message box of the program goes through here, so that tests can
// answer them; the program itself shows real dialogs.
class MessageBoxes
{
public:
    enum class Icon { None, Exclamation, Question };
    enum class Buttons { Ok, AbortRetryIgnore };
    enum class Answer { Ok, Abort, Retry, Ignore };

    struct Request {
        QString caption;
        QString text;
        Icon icon;
        Buttons buttons;
        // Raised above the program's always-on-top windows (the cancel
        // dialog), which would otherwise hide it while it holds the keyboard.
        bool onTop;
        QStringList choices; // the buttons of a choose() box, in order
        int defaultChoice = 0;
    };
    using Handler = std::function<Answer(const Request&)>;

    // Captioned with the application title; waits for the answer.
    static Answer show(const QString& text, Icon icon = Icon::Exclamation,
                       Buttons buttons = Buttons::Ok);

    // A question with buttons of its own: the index of the one pressed.
    // Enter presses `defaultIndex`, Escape `escapeIndex`.
    static int choose(const QString& text, const QStringList& choices, int defaultIndex,
                      int escapeIndex);

    // An empty handler restores the real dialogs.
    static void setHandler(Handler handler);
    using ChoiceHandler = std::function<int(const Request&)>;
    static void setChoiceHandler(ChoiceHandler handler);

    // How many boxes are open right now (they can nest).
    static int openCount();

    // Whether one of the program's always-on-top windows is showing; a modal
    // window opened now must stay on top too, or it opens underneath.
    static bool alwaysOnTopShowing();
};
