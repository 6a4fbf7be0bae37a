#include "messageboxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace {

MessageBoxes::Handler& handler()
{
    static MessageBoxes::Handler instance;
    return instance;
}

MessageBoxes::ChoiceHandler& choiceHandler()
{
    static MessageBoxes::ChoiceHandler instance;
    return instance;
}

int& openBoxes()
{
    static int count = 0;
    return count;
}

MessageBoxes::Answer showReal(const MessageBoxes::Request& request)
{
    QMessageBox box(QApplication::activeWindow());
    if (request.onTop)
        box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.setWindowTitle(request.caption);
    box.setText(request.text);
    box.setIcon(request.icon == MessageBoxes::Icon::Exclamation ? QMessageBox::Warning
                : request.icon == MessageBoxes::Icon::Question  ? QMessageBox::Question
                                                                : QMessageBox::NoIcon);
    if (request.buttons == MessageBoxes::Buttons::Ok) {
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
        box.exec();
        return MessageBoxes::Answer::Ok;
    }
    box.setStandardButtons(QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
    box.button(QMessageBox::Abort)->setText(QObject::tr("&Abort"));
    box.button(QMessageBox::Retry)->setText(QObject::tr("&Retry"));
    box.button(QMessageBox::Ignore)->setText(QObject::tr("&Ignore"));
    // Waiting longer loses nothing, so that is what Enter does.
    box.setDefaultButton(QMessageBox::Retry);
    box.setEscapeButton(QMessageBox::Abort);
    box.exec();
    if (box.clickedButton() == box.button(QMessageBox::Ignore))
        return MessageBoxes::Answer::Ignore;
    if (box.clickedButton() == box.button(QMessageBox::Retry))
        return MessageBoxes::Answer::Retry;
    return MessageBoxes::Answer::Abort;
}

int chooseReal(const MessageBoxes::Request& request, int escapeIndex)
{
    QMessageBox box(QApplication::activeWindow());
    if (request.onTop)
        box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.setWindowTitle(request.caption);
    box.setText(request.text);
    box.setIcon(QMessageBox::Question);
    QList<QPushButton*> buttons;
    for (const QString& choice : request.choices)
        buttons << box.addButton(choice, QMessageBox::ActionRole);
    box.setDefaultButton(buttons.value(request.defaultChoice));
    box.setEscapeButton(buttons.value(escapeIndex));
    box.exec();
    const int chosen = int(buttons.indexOf(qobject_cast<QPushButton*>(box.clickedButton())));
    return chosen < 0 ? escapeIndex : chosen;
}

} // namespace

int MessageBoxes::choose(const QString& text, const QStringList& choices, int defaultIndex,
                         int escapeIndex)
{
    Request request{QCoreApplication::applicationName(),
                    text,
                    Icon::Question,
                    Buttons::Ok,
                    alwaysOnTopShowing(),
                    choices,
                    defaultIndex};
    ++openBoxes();
    const int chosen =
        choiceHandler() ? choiceHandler()(request) : chooseReal(request, escapeIndex);
    --openBoxes();
    return chosen;
}

void MessageBoxes::setChoiceHandler(ChoiceHandler h)
{
    choiceHandler() = std::move(h);
}

MessageBoxes::Answer MessageBoxes::show(const QString& text, Icon icon, Buttons buttons)
{
    const Request request{
        QCoreApplication::applicationName(), text, icon, buttons, alwaysOnTopShowing(), {}, 0};
    ++openBoxes();
    const Answer answer = handler() ? handler()(request) : showReal(request);
    --openBoxes();
    return answer;
}

void MessageBoxes::setHandler(Handler h)
{
    handler() = std::move(h);
}

int MessageBoxes::openCount()
{
    return openBoxes();
}

bool MessageBoxes::alwaysOnTopShowing()
{
    const auto windows = QApplication::topLevelWidgets();
    for (const QWidget* w : windows) {
        if (w->isVisible() && (w->windowFlags() & Qt::WindowStaysOnTopHint))
            return true;
    }
    return false;
}
