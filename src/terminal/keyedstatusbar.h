#pragma once

#include <QMap>
#include <QStatusBar>
#include <QString>

class QLabel;

// A status bar whose panels are addressed by key.
class KeyedStatusBar : public QStatusBar
{
    Q_OBJECT

public:
    explicit KeyedStatusBar(QWidget* parent = nullptr);

    // Panels are shown left to right in the order they are added; a panel is
    // at least `minimumWidthPx` wide and grows to show its whole text.
    void addPanel(const QString& key, const QString& text, const QString& toolTip,
                  int minimumWidthPx, bool stretch);

    QString panelText(const QString& key) const;
    void setPanelText(const QString& key, const QString& text);
    QLabel* panel(const QString& key) const { return m_panels.value(key); }

private:
    QMap<QString, QLabel*> m_panels;
};
