#include "slottile.h"

#include <QLocale>

#include <QAccessible>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>
#include <cmath>

namespace {

// A unit that has said nothing this long while flashing is said to be silent.
constexpr double SilentAfterSeconds = 2.0;

struct Colours {
    QColor background, text;
};

const QColor amber(0xfb, 0xeb, 0xc5);
const QColor amberText(0x7a, 0x4a, 0x00);

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
    case SlotTile::Look::PortInUse:
    case SlotTile::Look::NoAccess:
    case SlotTile::Look::Silent:
        return {amber, amberText};
    case SlotTile::Look::PlaceUnit:
        return {QColor(0xf4, 0xf6, 0xf8), QColor(0x26, 0x32, 0x38)};
    case SlotTile::Look::Stopped:
        break;
    }
    return {QColor(0xe6, 0xe6, 0xe6), QColor(0x42, 0x42, 0x42)};
}

// A plain shape for each state, drawn at any size.
void drawIcon(QPainter& p, SlotTile::Look look, const QColor& colour, const QRect& box)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(box.topLeft());
    p.scale(box.width() / 24.0, box.height() / 24.0);
    p.setPen(QPen(colour, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
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
    case SlotTile::Look::Silent: // an hourglass
        p.drawPolygon(QPolygonF({QPointF(6, 3), QPointF(18, 3), QPointF(6, 21), QPointF(18, 21)}));
        break;
    case SlotTile::Look::PlugIn: // a plug and its cable
        p.drawRoundedRect(QRectF(6, 9, 12, 8), 2, 2);
        p.drawLine(QPointF(9, 4), QPointF(9, 9));
        p.drawLine(QPointF(15, 4), QPointF(15, 9));
        p.drawLine(QPointF(12, 17), QPointF(12, 22));
        break;
    case SlotTile::Look::PortInUse: // a padlock
    case SlotTile::Look::NoAccess:
        p.drawRoundedRect(QRectF(5, 11, 14, 10), 2, 2);
        p.drawArc(QRectF(8, 4, 8, 12), 0, 180 * 16);
        p.drawLine(QPointF(8, 10), QPointF(8, 11));
        p.drawLine(QPointF(16, 10), QPointF(16, 11));
        break;
    case SlotTile::Look::PlaceUnit: // a handheld unit
        p.drawRoundedRect(QRectF(7, 2, 10, 20), 2, 2);
        p.drawRect(QRectF(9.5, 5, 5, 6));
        p.drawPoint(QPointF(12, 17));
        break;
    case SlotTile::Look::Stopped:
        p.setBrush(colour);
        p.drawRect(QRectF(6, 6, 12, 12));
        break;
    }
    p.restore();
}

QString minutes(double seconds)
{
    const int whole = int(seconds + 0.5);
    return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
}

// Paragraphs wrapped into `box`, a long word (a path) broken where it must;
// the last line that fits ends in an ellipsis when more would follow.
void drawWrapped(QPainter& p, const QRect& box, const QStringList& paragraphs, const QFont& font)
{
    const QFontMetrics metrics(font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    p.setFont(font);
    int y = box.top();
    for (int n = 0; n < paragraphs.size(); ++n) {
        QTextLayout layout(paragraphs[n], font);
        layout.setTextOption(option);
        layout.beginLayout();
        for (;;) {
            QTextLine line = layout.createLine();
            if (!line.isValid())
                break;
            line.setLineWidth(box.width());
            const bool lastThatFits = y + 2 * metrics.lineSpacing() > box.bottom() + 1;
            const QString rest = paragraphs[n].mid(line.textStart());
            const bool more = line.textStart() + line.textLength() < paragraphs[n].size() ||
                              n + 1 < paragraphs.size();
            if (lastThatFits && more) {
                p.drawText(
                    QPoint(box.left(), y + metrics.ascent()),
                    metrics.elidedText(rest + QStringLiteral(" ..."), Qt::ElideRight, box.width()));
                layout.endLayout();
                return;
            }
            p.drawText(QPoint(box.left(), y + metrics.ascent()),
                       paragraphs[n].mid(line.textStart(), line.textLength()).trimmed());
            y += metrics.lineSpacing();
        }
        layout.endLayout();
    }
}

// The state word, with the unit's number beside a result.
QString stateText(const SlotTile::Face& face)
{
    QString text = face.word;
    if (!face.progress) {
        for (const QString& part : {face.serial, face.label}) {
            if (!part.isEmpty())
                text += "  " + part;
        }
    }
    return text;
}

QFont sized(const QFont& base, double pixels, bool bold)
{
    QFont f = base;
    f.setPixelSize(qMax(8, int(pixels)));
    f.setBold(bold);
    return f;
}

// A stable name's last part tells one adaptor from the next; any other path
// is shown whole (the middle gives way when it is long).
QString deviceText(const SlotView& slot)
{
    const QString name = slot.name;
    const bool stable = name.startsWith(QLatin1String("/dev/serial/by-"));
    QString shown = stable ? name.section(QLatin1Char('/'), -1) : name;
    if (!slot.device.isEmpty() && slot.device != name)
        shown += QStringLiteral(" (%1)").arg(slot.device);
    return shown;
}

} // namespace

bool SlotTile::Face::operator==(const Face& o) const
{
    return look == o.look && word == o.word && serial == o.serial && label == o.label &&
           progress == o.progress && percent == o.percent && lines == o.lines && left == o.left &&
           detail == o.detail && band == o.band && name == o.name && note == o.note &&
           device == o.device && counts == o.counts;
}

SlotTile::SlotTile(const SlotView& slot, const QString& name, QWidget* parent)
    : QFrame(parent), m_slot(slot), m_name(name)
{
    setObjectName(QStringLiteral("SlotTile"));
    setFocusPolicy(Qt::StrongFocus);
    setFrameShape(QFrame::NoFrame);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setAttribute(Qt::WA_OpaquePaintEvent);
    refresh(slot);
}

void SlotTile::setName(const QString& name)
{
    m_name = name;
    refresh(m_slot);
}

void SlotTile::setNote(const QString& note)
{
    if (note == m_note)
        return;
    m_note = note;
    refresh(m_slot);
}

QString SlotTile::reasonWords(const QString& reason)
{
    // The station's own fixed words for why a slot waits, in the window's
    // language; what names a file or a number stays as the station said it.
    static const char* const fixed[] = {
        QT_TR_NOOP("adaptor unplugged"),
        QT_TR_NOOP("remove the unit"),
        QT_TR_NOOP("paused by the line controller"),
        QT_TR_NOOP("checking the unit's label"),
        QT_TR_NOOP("scan the unit's label"),
        QT_TR_NOOP("the station is stopping"),
        QT_TR_NOOP("waiting for serial numbers from the database"),
        QT_TR_NOOP("many resends: clean and align the adaptor"),
    };
    for (const char* f : fixed) {
        if (reason == QLatin1String(f))
            return tr(f);
    }
    return reason;
}

QString SlotTile::words(Look look)
{
    switch (look) {
    case Look::Stopped:
        //: a slot's state, the largest word on its tile
        return tr("Stopped");
    case Look::PlugIn:
        //: a slot's state, the largest word on its tile
        return tr("Plug in the adaptor");
    case Look::PortInUse:
        //: a slot's state, the largest word on its tile
        return tr("Port in use");
    case Look::NoAccess:
        //: a slot's state, the largest word on its tile
        return tr("No access to the port");
    case Look::PlaceUnit:
        //: a slot's state, the largest word on its tile
        return tr("Place a unit");
    case Look::Flashing:
        //: a slot's state, the largest word on its tile
        return tr("Flashing");
    case Look::Silent:
        //: a slot's state, the largest word on its tile
        return tr("No answer");
    case Look::Pass:
        //: the unit's result, the largest word on its tile
        return tr("PASS");
    case Look::Fail:
        //: the unit's result, the largest word on its tile
        return tr("FAIL");
    }
    return QString();
}

SlotTile::Face SlotTile::faceOf() const
{
    Face f;
    f.name = m_name;
    f.note = m_note;
    f.device = deviceText(m_slot);
    f.counts = tr("%1 passed, %2 failed").arg(m_slot.passed).arg(m_slot.failed);
    const UnitRecord last = m_slot.last.value_or(UnitRecord());
    const QString reason = reasonWords(m_slot.reason);
    const auto result = [&](const QString& instruction) {
        f.look = last.result == UnitResult::Pass ? Look::Pass : Look::Fail;
        if (last.own.hasSerial)
            f.serial = QStringLiteral("#%1").arg(last.own.serial);
        f.label = last.label;
        if (f.look == Look::Fail && !last.reason.isEmpty())
            f.detail << reasonWords(last.reason);
        f.detail << instruction;
        if (f.look == Look::Pass && !last.warning.isEmpty())
            f.band = tr("clean and align the adaptor");
    };
    const bool lastWasResult = m_slot.last && last.result != UnitResult::Interrupted;
    switch (m_slot.state) {
    case SlotState::Stopped:
        f.look = Look::Stopped;
        if (!reason.isEmpty())
            f.detail << reason;
        break;
    case SlotState::WaitingForAdaptor: {
        const MSComm::OpenFailure& why = m_slot.openFailure;
        switch (why.kind) {
        case MSComm::OpenFailure::Kind::InUse:
            f.look = Look::PortInUse;
            f.detail << (why.holder.isEmpty() ? reason
                                              : tr("held by %1").arg(why.holder));
            break;
        case MSComm::OpenFailure::Kind::Forbidden:
        case MSComm::OpenFailure::Kind::Other:
            f.look = Look::NoAccess;
            f.detail << reason;
            break;
        case MSComm::OpenFailure::Kind::Missing:
        case MSComm::OpenFailure::Kind::None:
            // The words say it all; the device line names what is looked for.
            f.look = Look::PlugIn;
            f.detail << (m_slot.reason == QLatin1String("adaptor unplugged")
                             ? tr("unplugged; looked for every second")
                             : tr("looked for every second"));
            break;
        }
        break;
    }
    case SlotState::WaitingForUnit:
        // The last result stays the largest word until the next unit begins.
        if (lastWasResult && reason.isEmpty())
            result(tr("place the next unit"));
        else {
            f.look = Look::PlaceUnit;
            if (!reason.isEmpty())
                f.detail << reason;
        }
        break;
    case SlotState::Flashing: {
        const UploadProgress& p = m_slot.progress;
        const double quiet = m_slot.quietFor();
        f.look = quiet >= SilentAfterSeconds ? Look::Silent : Look::Flashing;
        if (m_slot.own.hasSerial)
            f.serial = QStringLiteral("#%1").arg(m_slot.own.serial);
        f.progress = true;
        f.percent = p.totalLines > 0 ? 100 * p.linesSent / p.totalLines : 0;
        f.lines = tr("%1 of %2 lines").arg(p.linesSent).arg(p.totalLines);
        const double t = m_slot.elapsed();
        const double rate = t > 0.5 ? p.linesSent / t : 0.0;
        if (f.look != Look::Silent && rate > 0)
            //: the time left of an upload, as 0:42
            f.left = tr("%1 left").arg(minutes((p.totalLines - p.linesSent) / rate));
        if (p.linesSent > 0 && p.resends > 0)
            f.counts = tr("%1 passed, %2 failed;  this unit %3 % sent again")
                           .arg(m_slot.passed)
                           .arg(m_slot.failed)
                           .arg(QLocale().toString(100.0 * p.resends / p.linesSent, 'f', 1));
        break;
    }
    case SlotState::WaitingForRemoval:
        result(m_slot.unitStillPrompting() ? tr("remove the unit") : tr("place the next unit"));
        break;
    }
    f.word = f.look == Look::Silent
                 //: a slot's state, the largest word on its tile, counting the seconds
                 ? tr("No answer for %n s", "", int(m_slot.quietFor()))
                 : words(f.look);
    return f;
}

void SlotTile::refresh(const SlotView& slot)
{
    m_slot = slot;
    const Face face = faceOf();
    if (face != m_face) {
        // An upload going on changes its figures alone: only they are painted
        // again, not the tile (sixteen of them, four times a second).
        const bool figuresOnly = face.progress && m_face.progress && face.look == m_face.look &&
                                 face.word == m_face.word && face.serial == m_face.serial &&
                                 face.name == m_face.name && face.device == m_face.device;
        const Face was = std::exchange(m_face, face);
        if (figuresOnly) {
            const Layout& l = currentLayout();
            QRegion changed;
            if (face.percent != was.percent)
                changed += QRegion(l.figureRect) + l.bar;
            if (face.lines != was.lines || face.left != was.left)
                changed += l.linesRect;
            if (face.counts != was.counts)
                changed += l.counts;
            update(changed);
        } else {
            update();
        }
    }
    const QString name = spoken();
    if (accessibleName() != name) {
        setAccessibleName(name);
        setAccessibleDescription(
            m_face.counts +
            (m_face.detail.isEmpty()
                 ? QString()
                 : QStringLiteral(". ") + m_face.detail.join(QStringLiteral(". "))));
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
}

QString SlotTile::spoken() const
{
    //: what a screen reader says of a tile: the slot's name and its state
    QString text = tr("%1: %2").arg(m_name, m_face.word.toLower());
    if (!m_face.serial.isEmpty())
        text += tr(", unit %1").arg(m_face.serial.mid(1));
    if (!m_face.label.isEmpty())
        text += tr(", label %1").arg(m_face.label);
    if (m_face.progress) {
        const UploadProgress& p = m_slot.progress;
        text += tr(", %1 of %2 lines").arg(p.linesSent).arg(p.totalLines);
        if (p.linesSent > 0)
            text +=
                tr(", %1 percent resent").arg(qRound(100.0 * p.resends / p.linesSent));
    } else if (!m_face.detail.isEmpty()) {
        text += QStringLiteral(", ") + m_face.detail.join(QStringLiteral(", "));
    }
    if (!m_face.band.isEmpty())
        text += QStringLiteral(", ") + m_face.band;
    return text;
}

SlotTile::Layout SlotTile::layout(const QSize& size, const Face& face, const QFont& base)
{
    Layout l;
    const int w = size.width();
    const int h = size.height();
    l.padding = qMax(6, int(h * 0.045));
    const QRect inner(l.padding, l.padding, w - 2 * l.padding, h - 2 * l.padding);
    const int gap = qMax(3, l.padding / 2);
    l.small = sized(base, qBound(10.0, qMin(h * 0.065, inner.width() / 22.0), 26.0), false);
    const int smallHeight = QFontMetrics(l.small).height();

    // The state word's size S sets the others: the figure 0.75 S, its lines
    // 0.5 S, the reason and the instruction 0.6 S; what the height holds.
    const int detailLines = 2;
    const double below = face.progress
                             ? 0.75 * 1.2 + 0.28 + 0.5 * 1.3
                             : detailLines * 0.6 * 1.25 + (face.band.isEmpty() ? 0 : 0.5 * 1.7);
    const double room = inner.height() - 2 * smallHeight - 4 * gap;
    // As high as the tile allows, and no wider than its width keeps readable.
    const int s = qMax(12, int(qMin(qMin(h * 0.24, inner.width() / 6.5), room / (1.25 + below))));
    // The others in whole pixels, never below their share of it.
    const auto share = [s](double part) { return std::ceil(s * part); };

    l.header = QRect(inner.left(), inner.top(), inner.width(), smallHeight);
    int y = l.header.bottom() + 1 + gap;
    const int iconSide = qMin(int(s * 1.05), inner.width() / 5);
    l.icon = QRect(inner.left(), y + int(s * 0.1), iconSide, iconSide);
    const int wordLeft = l.icon.right() + 1 + gap;
    l.word = QRect(wordLeft, y, inner.right() + 1 - wordLeft, int(s * 1.25));
    // Never wrapped, never past the edge: smaller until it fits.
    const QString word = stateText(face);
    l.state = sized(base, s, true);
    const int advance = QFontMetrics(l.state).horizontalAdvance(word);
    if (advance > l.word.width())
        l.state = sized(base, qMax(8.0, double(s) * l.word.width() / advance - 1), true);
    while (l.state.pixelSize() > 8 &&
           QFontMetrics(l.state).horizontalAdvance(word) > l.word.width())
        l.state.setPixelSize(l.state.pixelSize() - 1);
    y = l.word.bottom() + 1 + gap;

    l.figure = sized(base, share(0.75), true);
    l.lines = sized(base, share(0.5), false);
    l.detail = sized(base, share(0.6), false);
    if (face.progress) {
        const int figureHeight = QFontMetrics(l.figure).height();
        l.figureRect = QRect(inner.left(), y, inner.width(), figureHeight);
        y = l.figureRect.bottom() + 1;
        l.bar = QRect(inner.left(), y, inner.width(), qMax(6, int(s * 0.28)));
        y = l.bar.bottom() + 1 + gap;
        l.linesRect = QRect(inner.left(), y, inner.width(), QFontMetrics(l.lines).height());
    } else {
        const int bandHeight = face.band.isEmpty() ? 0 : int(QFontMetrics(l.lines).height() * 1.4);
        const int bottom = inner.bottom() - smallHeight - gap - (bandHeight ? bandHeight + gap : 0);
        l.detailRect = QRect(inner.left(), y, inner.width(), qMax(0, bottom - y));
        if (bandHeight)
            l.band = QRect(inner.left(), bottom + gap, inner.width(), bandHeight);
    }
    l.counts = QRect(inner.left(), inner.bottom() + 1 - smallHeight, inner.width(), smallHeight);
    return l;
}

// The layout depends on the size and on the words, not on the figures.
const SlotTile::Layout& SlotTile::currentLayout()
{
    const QString key = QStringLiteral("%1x%2 %3 %4 %5 %6")
                            .arg(width())
                            .arg(height())
                            .arg(stateText(m_face))
                            .arg(m_face.progress)
                            .arg(m_face.band.isEmpty())
                            .arg(font().key());
    if (key != m_layoutKey) {
        m_layoutKey = key;
        m_layout = layout(size(), m_face, font());
    }
    return m_layout;
}

void SlotTile::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    const Colours c = coloursOf(m_face.look);
    const Layout& l = currentLayout();
    const QRegion dirty = event->region();
    for (const QRect& r : dirty)
        p.fillRect(r, c.background);
    // The focused tile wears a thick frame in the highlight colour.
    const int border = hasFocus() ? 5 : 2;
    if (!rect().adjusted(border, border, -border, -border).contains(dirty.boundingRect())) {
        p.setPen(
            QPen(hasFocus() ? palette().color(QPalette::Highlight) : c.text.lighter(170), border));
        p.drawRect(rect().adjusted(border / 2, border / 2, -(border + 1) / 2, -(border + 1) / 2));
    }
    p.setPen(c.text);
    if (dirty.intersects(l.header))
        paintHeader(p, l);
    if (dirty.intersects(l.word)) {
        drawIcon(p, m_face.look, c.text, l.icon);
        p.setFont(l.state);
        p.drawText(l.word, Qt::AlignLeft | Qt::AlignVCenter, stateText(m_face));
    }

    if (m_face.progress && dirty.intersects(l.figureRect)) {
        p.setFont(l.figure);
        p.drawText(l.figureRect, Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("%1 %").arg(m_face.percent));
        // While flashing, the unit's number goes beside its progress.
        if (!m_face.serial.isEmpty()) {
            p.setFont(l.lines);
            p.drawText(l.figureRect, Qt::AlignRight | Qt::AlignVCenter, m_face.serial);
        }
    }
    if (m_face.progress && dirty.intersects(l.bar)) {
        p.fillRect(l.bar, c.background.darker(115));
        QRect done = l.bar;
        done.setWidth(l.bar.width() * qBound(0, m_face.percent, 100) / 100);
        p.fillRect(done, c.text);
    }
    if (m_face.progress && dirty.intersects(l.linesRect)) {
        p.setFont(l.lines);
        p.drawText(l.linesRect, Qt::AlignLeft | Qt::AlignVCenter, m_face.lines);
        // The time left where the lines leave room for it.
        const QFontMetrics metrics(l.lines);
        if (metrics.horizontalAdvance(m_face.lines + QStringLiteral("   ") + m_face.left) <=
            l.linesRect.width())
            p.drawText(l.linesRect, Qt::AlignRight | Qt::AlignVCenter, m_face.left);
    }
    if (!m_face.progress && !m_face.detail.isEmpty() && dirty.intersects(l.detailRect))
        drawWrapped(p, l.detailRect, m_face.detail, l.detail);
    if (!m_face.band.isEmpty() && dirty.intersects(l.band)) {
        p.fillRect(l.band, amber);
        p.setPen(amberText);
        p.setFont(l.lines);
        p.drawText(l.band, Qt::AlignCenter, m_face.band);
        p.setPen(c.text);
    }
    if (dirty.intersects(l.counts)) {
        p.setFont(l.small);
        p.drawText(
            l.counts, Qt::AlignLeft | Qt::AlignVCenter,
            QFontMetrics(l.small).elidedText(m_face.counts, Qt::ElideRight, l.counts.width()));
    }
}

// The slot's name, and its device where the rest of the line allows.
void SlotTile::paintHeader(QPainter& p, const Layout& l)
{
    QFont bold = l.small;
    bold.setBold(true);
    p.setFont(bold);
    const QFontMetrics boldMetrics(bold);
    const QString name = boldMetrics.elidedText(m_face.name, Qt::ElideRight, l.header.width() / 2);
    p.drawText(l.header, Qt::AlignLeft | Qt::AlignVCenter, name);
    p.setFont(l.small);
    int nameWidth = boldMetrics.horizontalAdvance(name) + l.padding;
    if (!m_face.note.isEmpty()) {
        const QFontMetrics small(l.small);
        const QString note =
            small.elidedText(m_face.note, Qt::ElideRight, (l.header.width() - nameWidth) / 2);
        p.drawText(l.header.adjusted(nameWidth, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, note);
        nameWidth += small.horizontalAdvance(note) + l.padding;
    }
    const QString device = QFontMetrics(l.small).elidedText(m_face.device, Qt::ElideMiddle,
                                                            l.header.width() - nameWidth);
    p.drawText(l.header, Qt::AlignRight | Qt::AlignVCenter, device);
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

void SlotTile::focusInEvent(QFocusEvent* event)
{
    QFrame::focusInEvent(event);
    update();
}

void SlotTile::focusOutEvent(QFocusEvent* event)
{
    QFrame::focusOutEvent(event);
    update();
}
