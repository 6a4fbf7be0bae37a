#include "slottile.h"

#include "../station/stationslot.h"

#include <QAccessible>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QResizeEvent>
#include <QVBoxLayout>

namespace {

struct Colours {
    QColor background, text;
};

Colours coloursOf(SlotTile::Look look)
{
    switch (look) {
    case SlotTile::Look::Pass:
        return {QColor(0xd4, 0xf0, 0xcc), QColor(0x1b, 0x5e, 0x20)};
    case SlotTile::Look::Fail:
        return {QColor(0xf8, 0xd0, 0xcc), QColor(0x9b, 0x1c, 0x1c)};
    case SlotTile::Look::Flashing:
        return {QColor(0xd3, 0xe4, 0xfa), QColor(0x0d, 0x47, 0xa1)};
    case SlotTile::Look::PlugIn:
    case SlotTile::Look::RemoveUnit:
        return {QColor(0xfb, 0xeb, 0xc5), QColor(0x7a, 0x4a, 0x00)};
    case SlotTile::Look::PlaceUnit:
        return {QColor(0xf4, 0xf6, 0xf8), QColor(0x26, 0x32, 0x38)};
    case SlotTile::Look::Stopped:
        break;
    }
    return {QColor(0xe6, 0xe6, 0xe6), QColor(0x42, 0x42, 0x42)};
}

// A plain shape for each state, drawn at any size.
QPixmap iconOf(SlotTile::Look look, const QColor& colour, int size, qreal ratio)
{
    QPixmap pixmap(int(size * ratio), int(size * ratio));
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 24.0, size / 24.0);
    QPen pen(colour, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    switch (look) {
    case SlotTile::Look::Pass:
        p.drawPolyline(QPolygonF({QPointF(4, 12.5), QPointF(9.5, 18), QPointF(20, 6)}));
        break;
    case SlotTile::Look::Fail:
        p.drawLine(QPointF(5, 5), QPointF(19, 19));
        p.drawLine(QPointF(19, 5), QPointF(5, 19));
        break;
    case SlotTile::Look::Flashing:
        p.setBrush(colour);
        p.drawPolygon(QPolygonF({QPointF(13, 2), QPointF(5, 13.5), QPointF(11, 13.5),
                                 QPointF(10, 22), QPointF(19, 10), QPointF(13, 10)}));
        break;
    case SlotTile::Look::PlugIn: // a plug and its cable
        p.drawRoundedRect(QRectF(6, 9, 12, 8), 2, 2);
        p.drawLine(QPointF(9, 4), QPointF(9, 9));
        p.drawLine(QPointF(15, 4), QPointF(15, 9));
        p.drawLine(QPointF(12, 17), QPointF(12, 22));
        break;
    case SlotTile::Look::PlaceUnit: // a handheld unit
        p.drawRoundedRect(QRectF(7, 2, 10, 20), 2, 2);
        p.drawRect(QRectF(9.5, 5, 5, 6));
        p.drawPoint(QPointF(12, 17));
        break;
    case SlotTile::Look::RemoveUnit: // the unit, taken away
        p.drawRoundedRect(QRectF(3, 8, 8, 14), 2, 2);
        p.drawLine(QPointF(14, 14), QPointF(22, 6));
        p.drawPolyline(QPolygonF({QPointF(16, 6), QPointF(22, 6), QPointF(22, 12)}));
        break;
    case SlotTile::Look::Stopped:
        p.setBrush(colour);
        p.drawRect(QRectF(6, 6, 12, 12));
        break;
    }
    return pixmap;
}

QString minutes(double seconds)
{
    const int whole = int(seconds + 0.5);
    return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

// An upload's progress as a plain bar and "n of m lines", painted in one
// pass. QProgressBar's style draws gradients and rounded edges and its
// setValue repaints at once; sixteen of them four times a second were most
// of what the window cost beyond the station itself.
class LinesBar : public QWidget
{
public:
    explicit LinesBar(QWidget* parent) : QWidget(parent)
    {
        setFocusPolicy(Qt::NoFocus);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

    void setLines(int done, int total)
    {
        if (done == m_done && total == m_total)
            return;
        m_done = done;
        m_total = total;
        m_text = QStringLiteral("%1 of %2 lines").arg(done).arg(total);
        setAccessibleName(m_text);
        update();
    }
    QString text() const { return m_text; }

    QSize sizeHint() const override { return {160, fontMetrics().height() + 8}; }
    QSize minimumSizeHint() const override { return {60, fontMetrics().height() + 8}; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const QPalette& pal = palette();
        p.fillRect(rect(), pal.color(QPalette::Base));
        const int filled =
            m_total > 0 ? int(qint64(width()) * qBound(0, m_done, m_total) / m_total) : 0;
        // Light enough that the text reads the same over both parts.
        QColor fill = pal.color(QPalette::Highlight);
        fill.setAlpha(0x70);
        p.fillRect(QRect(0, 0, filled, height()), fill);
        p.setPen(pal.color(QPalette::Mid));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
        p.setPen(pal.color(QPalette::Text));
        p.drawText(rect(), Qt::AlignCenter, m_text);
    }

private:
    int m_done = -1;
    int m_total = -1;
    QString m_text;
};

SlotTile::SlotTile(StationSlot* slot, const QString& name, QWidget* parent)
    : QFrame(parent), m_slot(slot), m_name(name)
{
    setObjectName(QStringLiteral("SlotTile"));
    setFocusPolicy(Qt::StrongFocus);
    setFrameShape(QFrame::Box);
    setLineWidth(2);
    setAutoFillBackground(true);
    setMinimumSize(280, 190);

    m_title = new QLabel(this);
    QFont big = m_title->font();
    big.setPointSizeF(big.pointSizeF() * 1.3);
    big.setBold(true);
    m_title->setFont(big);
    m_device = new QLabel(this);
    m_device->setTextFormat(Qt::PlainText);
    m_icon = new QLabel(this);
    m_icon->setFixedSize(40, 40);
    m_state = new QLabel(this);
    QFont huge = m_state->font();
    huge.setPointSizeF(huge.pointSizeF() * 2.0);
    huge.setBold(true);
    m_state->setFont(huge);
    m_state->setWordWrap(true);
    m_progress = new LinesBar(this);
    m_detail = new QLabel(this);
    m_detail->setWordWrap(true);
    m_detail->setTextFormat(Qt::PlainText);
    m_counts = new QLabel(this);

    auto* stateRow = new QHBoxLayout;
    stateRow->addWidget(m_icon);
    stateRow->addWidget(m_state, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_title);
    layout->addWidget(m_device);
    layout->addLayout(stateRow);
    layout->addWidget(m_progress);
    layout->addWidget(m_detail, 1);
    layout->addWidget(m_counts);
    refresh();
}

void SlotTile::setName(const QString& name)
{
    m_name = name;
    refresh();
}

QString SlotTile::words(Look look)
{
    switch (look) {
    case Look::Stopped:
        return QStringLiteral("Stopped");
    case Look::PlugIn:
        return QStringLiteral("Plug in the adaptor");
    case Look::PlaceUnit:
        return QStringLiteral("Place a unit");
    case Look::Flashing:
        return QStringLiteral("Flashing");
    case Look::Pass:
        return QStringLiteral("PASS");
    case Look::Fail:
        return QStringLiteral("FAIL");
    case Look::RemoveUnit:
        return QStringLiteral("Remove the unit");
    }
    return QString();
}

SlotTile::Look SlotTile::lookOf() const
{
    switch (m_slot->state()) {
    case StationSlot::State::Stopped:
        return Look::Stopped;
    case StationSlot::State::WaitingForAdaptor:
        return Look::PlugIn;
    case StationSlot::State::WaitingForUnit: {
        // The last result stays in large words until the next unit begins:
        // what an operator looking up from the bench needs to know.
        const QString last = m_slot->hasLastUnit() ? m_slot->lastUnit().result : QString();
        if (last == QLatin1String("pass"))
            return Look::Pass;
        if (last == QLatin1String("fail"))
            return Look::Fail;
        return Look::PlaceUnit;
    }
    case StationSlot::State::Flashing:
        return Look::Flashing;
    case StationSlot::State::WaitingForRemoval:
        if (m_slot->unitStillPrompting())
            return Look::RemoveUnit;
        return m_slot->lastUnit().result == QLatin1String("pass") ? Look::Pass : Look::Fail;
    }
    return Look::Stopped;
}

void SlotTile::refresh()
{
    const Look was = m_look;
    m_look = lookOf();
    const UploadProgress& p = m_slot->progress();
    const bool flashing = m_look == Look::Flashing;
    m_title->setText(m_name);
    showDevice();
    m_state->setText(words(m_look) + serialShown());
    m_progress->setVisible(flashing);
    QString detail;
    if (flashing) {
        m_progress->setLines(p.linesSent, p.totalLines);
        const double t = m_slot->elapsed();
        const double rate = t > 0.5 ? p.linesSent / t : 0.0;
        if (rate > 0)
            detail = QStringLiteral("%1 left").arg(minutes((p.totalLines - p.linesSent) / rate));
        if (p.linesSent > 0) {
            detail += (detail.isEmpty() ? QString() : QStringLiteral(", ")) +
                      QStringLiteral("%1% resent").arg(100.0 * p.resends / p.linesSent, 0, 'f', 1);
        }
    } else if (m_look == Look::Fail || m_look == Look::Pass) {
        const UnitRecord& last = m_slot->lastUnit();
        detail = m_look == Look::Fail ? last.reason : last.warning;
        if (m_slot->state() == StationSlot::State::WaitingForUnit) {
            detail += (detail.isEmpty() ? QString() : QStringLiteral("; ")) +
                      (m_slot->reason().isEmpty() ? QStringLiteral("place the next unit")
                                                  : m_slot->reason());
        }
    } else if (m_look == Look::PlugIn || m_look == Look::PlaceUnit || m_look == Look::Stopped) {
        detail = m_slot->reason();
    } else if (m_look == Look::RemoveUnit && m_slot->hasLastUnit()) {
        detail = QStringLiteral("last unit: %1").arg(m_slot->lastUnit().result.toUpper());
    }
    m_detail->setText(detail);
    m_counts->setText(
        QStringLiteral("%1 passed, %2 failed").arg(m_slot->passed()).arg(m_slot->failed()));
    // Colours and icon only when they change: a new palette costs a repaint of everything.
    if (m_look != was || !m_painted)
        paintLook();

    const QString name = spoken();
    if (accessibleName() != name) {
        setAccessibleName(name);
        setAccessibleDescription(m_counts->text() +
                                 (detail.isEmpty() ? QString() : QStringLiteral(". ") + detail));
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
}

// The unit's own number, beside the state of the unit it belongs to.
QString SlotTile::serialShown() const
{
    const bool ofThisUnit = m_look == Look::Flashing || m_look == Look::Pass ||
                            m_look == Look::Fail || m_look == Look::RemoveUnit;
    return ofThisUnit && m_slot->own().hasSerial ? QStringLiteral("  #%1").arg(m_slot->own().serial)
                                                 : QString();
}

QString SlotTile::spoken() const
{
    QString text = QStringLiteral("%1: %2").arg(m_name, words(m_look).toLower());
    if (const QString serial = serialShown(); !serial.isEmpty())
        text += QStringLiteral(", unit %1").arg(m_slot->own().serial);
    if (m_look == Look::Flashing) {
        const UploadProgress& p = m_slot->progress();
        text += QStringLiteral(", %1 of %2 lines").arg(p.linesSent).arg(p.totalLines);
        if (p.linesSent > 0)
            text +=
                QStringLiteral(", %1 percent resent").arg(qRound(100.0 * p.resends / p.linesSent));
    } else if (m_look == Look::Fail && !m_slot->lastUnit().reason.isEmpty()) {
        text += QStringLiteral(", ") + m_slot->lastUnit().reason;
    }
    return text;
}

void SlotTile::paintLook()
{
    const Colours c = coloursOf(m_look);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, c.background);
    palette.setColor(QPalette::WindowText,
                     hasFocus() ? palette.color(QPalette::Highlight) : c.text);
    setPalette(palette);
    for (QLabel* label : {m_title, m_device, m_state, m_detail, m_counts}) {
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, c.text);
        label->setPalette(p);
    }
    m_icon->setPixmap(iconOf(m_look, c.text, 40, devicePixelRatioF()));
    m_painted = true;
}

// Stable names are long: the middle gives way, the tool tip has it all.
void SlotTile::showDevice()
{
    const QString name = m_slot->name();
    // Eliding shapes the text: only when what it depends on changed.
    const QString key = name + QLatin1Char('\n') + m_slot->device() + QLatin1Char('\n') +
                        QString::number(m_device->width());
    if (key == m_deviceShown)
        return;
    m_deviceShown = key;
    const bool known = !m_slot->device().isEmpty() && m_slot->device() != name;
    m_device->setToolTip(known ? QStringLiteral("%1 (%2)").arg(name, m_slot->device()) : name);
    // A stable name's last part is what tells one adaptor from the next.
    const QString shown = name.section(QLatin1Char('/'), -1);
    const QString tail = known ? QStringLiteral(" (%1)").arg(m_slot->device()) : QString();
    const QFontMetrics metrics = m_device->fontMetrics();
    const int room = qMax(40, m_device->width() - metrics.horizontalAdvance(tail));
    m_device->setText(metrics.elidedText(shown, Qt::ElideMiddle, room) + tail);
}

void SlotTile::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    showDevice();
}

void SlotTile::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        emit opened(this);
        return;
    }
    QFrame::keyPressEvent(event);
}

void SlotTile::mouseDoubleClickEvent(QMouseEvent*)
{
    emit opened(this);
}

// The focused tile wears a frame in the highlight colour.
void SlotTile::focusInEvent(QFocusEvent* event)
{
    QFrame::focusInEvent(event);
    setLineWidth(4);
    paintLook();
}

void SlotTile::focusOutEvent(QFocusEvent* event)
{
    QFrame::focusOutEvent(event);
    setLineWidth(2);
    paintLook();
}
