#pragma once

#include <QString>
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
    };
    using Handler = std::function<Answer(const Request&)>;

    // Captioned with the application title; waits for the answer.
    static Answer show(const QString& text, Icon icon = Icon::Exclamation,
                       Buttons buttons = Buttons::Ok);

    // An empty handler restores the real dialogs.
    static void setHandler(Handler handler);

    // How many boxes are open right now (they can nest).
    static int openCount();

    // Whether one of the program's always-on-top windows is showing; a modal
    // window opened now must stay on top too, or it opens underneath.
    static bool alwaysOnTopShowing();
};
