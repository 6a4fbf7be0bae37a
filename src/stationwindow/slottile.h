#pragma once

#include <QFrame>
#include <QString>

class QLabel;
class LinesBar;
class StationSlot;

// One slot of the bench, readable from a step away: its name and device,
// its state in large words with a colour and an icon (so it never rests on
// colour alone), an upload's progress, the last failure's reason, and the
// slot's counts. It takes the focus; Enter or a double click opens the
// slot's transcript.
class SlotTile : public QFrame
{
    Q_OBJECT

public:
    // What the tile says, in the operator's words.
    enum class Look { Stopped, PlugIn, PlaceUnit, Flashing, Pass, Fail, RemoveUnit };

    SlotTile(StationSlot* slot, const QString& name, QWidget* parent = nullptr);

    StationSlot* slot() const { return m_slot; }
    QString name() const { return m_name; }
    void setName(const QString& name);

    // Reads the slot again and shows it.
    void refresh();
    Look look() const { return m_look; }
    static QString words(Look look);
    // "Bench A1: flashing, 544 of 3002 lines, 2 percent resent"
    QString spoken() const;

signals:
    void opened(SlotTile* tile);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    Look lookOf() const;
    QString serialShown() const;
    void paintLook();
    void showDevice();

    StationSlot* m_slot;
    QString m_name;
    Look m_look = Look::Stopped;
    bool m_painted = false;
    QString m_deviceShown; // what the device line was last elided for
    QLabel* m_title = nullptr;
    QLabel* m_device = nullptr;
    QLabel* m_icon = nullptr;
    QLabel* m_state = nullptr;
    LinesBar* m_progress = nullptr;
    QLabel* m_detail = nullptr;
    QLabel* m_counts = nullptr;
};
