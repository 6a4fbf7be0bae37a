#include "keyedstatusbar.h"

#include <QLabel>

KeyedStatusBar::KeyedStatusBar(QWidget* parent) : QStatusBar(parent)
{
    setSizeGripEnabled(false);
}

void KeyedStatusBar::addPanel(const QString& key, const QString& text, const QString& toolTip,
                              int minimumWidthPx, bool stretch)
{
    auto* label = new QLabel(text, this);
    label->setObjectName(key);
    label->setToolTip(toolTip);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setMinimumWidth(minimumWidthPx);
    label->setTextFormat(Qt::PlainText);
    label->setContentsMargins(2, 0, 2, 0);
    addWidget(label, stretch ? 1 : 0);
    m_panels.insert(key, label);
}

QString KeyedStatusBar::panelText(const QString& key) const
{
    const QLabel* label = m_panels.value(key);
    return label ? label->text() : QString();
}

void KeyedStatusBar::setPanelText(const QString& key, const QString& text)
{
    if (QLabel* label = m_panels.value(key))
        label->setText(text);
}
