#pragma once

#include "../station/slotview.h"

#include <QColor>
#include <QFont>
#include <QFrame>
#include <QRect>
#include <QString>

// One slot of the bench, read from a step away: its state in the largest
// words with a colour and an icon (so it never rests on colour alone), an
// upload's progress as a large figure over a thick bar, the reason or what
// to do next, and smaller, the slot's name, device and counts. Every text
// scales with the tile, not the window's font. It takes the focus; Enter or
// a double click opens the slot's transcript.
class SlotTile : public QFrame
{
    Q_OBJECT

public:
    // What the tile says, in the operator's words.
    enum class Look {
        Stopped,
        PlugIn,
        PortInUse,
        NoAccess,
        PlaceUnit,
        Flashing,
        Silent,
        Pass,
        Fail
    };

    // Everything the tile shows, read off its slot's view.
    struct Face {
        Look look = Look::Stopped;
        QString word;   // "PASS", "Flashing", "No answer for 4 s"
        QString serial; // "#1000", or empty
        QString label;  // the unit's scanned label, or empty
        bool progress = false;
        int percent = 0;
        QString lines;      // "143 of 200 lines"
        QString left;       // "0:42 left"
        QStringList detail; // the reason, what to do next
        QString band;       // an amber band: "clean and align the adaptor"
        QString name;
        QString note; // beside the name: the work order's permits left
        QString device;
        QString counts;
        bool operator==(const Face& o) const;
        bool operator!=(const Face& o) const { return !(*this == o); }
    };

    // Where each part goes in a tile of some size, and how large its text is.
    struct Layout {
        int padding = 0;
        QFont small;  // the name, the device, the counts
        QFont state;  // the state word, shrunk to fit the width
        QFont figure; // "71 %"
        QFont lines;  // "143 of 200 lines  0:42 left"
        QFont detail; // the reason and the instruction
        QRect header, icon, word, figureRect, bar, linesRect, detailRect, band, counts;
    };
    static Layout layout(const QSize& size, const Face& face, const QFont& base);

    SlotTile(const SlotView& slot, const QString& name, QWidget* parent = nullptr);

    // The slot as last shown.
    const SlotView& slot() const { return m_slot; }
    QString port() const { return m_slot.port; }
    QString name() const { return m_name; }
    void setName(const QString& name);
    // A word beside the slot's name, for every slot alike ("WO-1234: 12 left").
    void setNote(const QString& note);

    // Shows the slot as it is now; paints only what changed.
    void refresh(const SlotView& slot);
    Look look() const { return m_face.look; }
    const Face& face() const { return m_face; }
    static QString words(Look look);
    // A reason the station gave, in the window's language where it is one of its fixed ones.
    static QString reasonWords(const QString& reason);
    // "Bench A1: flashing, 544 of 3002 lines, 2 percent resent"
    QString spoken() const;

    QSize sizeHint() const override { return {420, 300}; }
    QSize minimumSizeHint() const override { return {220, 160}; }

signals:
    void opened(SlotTile* tile);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    Face faceOf() const;
    const Layout& currentLayout();
    void paintHeader(class QPainter& p, const Layout& l);

    SlotView m_slot;
    QString m_name;
    QString m_note;
    Face m_face;
    Layout m_layout;
    QString m_layoutKey; // what m_layout was made for
};
