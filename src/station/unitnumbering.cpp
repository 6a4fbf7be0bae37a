#include "unitnumbering.h"

#include "../platform/atomicfile.h"
#include "statefile.h"

#include <QFile>
#include <QRegularExpression>
#include <QUuid>
#include <algorithm>
#include <limits>

namespace {

constexpr quint64 Top = std::numeric_limits<quint64>::max();
constexpr int MaximumPatches = 4; // on one line of the list
constexpr int MaximumPatchBytes = 64;

quint64 powerOfTen(int digits)
{
    quint64 v = 1;
    for (int i = 0; i < digits; ++i)
        v *= 10;
    return v;
}

std::optional<quint64> parseAddress(QString text)
{
    text = text.trimmed();
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        text.remove(0, 2);
    bool ok = false;
    const quint64 v = text.toULongLong(&ok, 16);
    if (!ok || text.isEmpty() || v > 0xFFFFFFFFull)
        return std::nullopt;
    return v;
}

bool overlap(const ImagePatch& a, const ImagePatch& b)
{
    return a.address < b.end() && b.address < a.end();
}

} // namespace

std::optional<SerialFormat> SerialFormat::parse(const QString& text, QString* error)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    SerialFormat f;
    const auto address = parts.isEmpty() ? std::nullopt : parseAddress(parts[0]);
    bool ok = false;
    if (parts.size() >= 2)
        f.size = parts[1].trimmed().toInt(&ok);
    if (parts.size() == 3) {
        const QString name = parts[2].trimmed().toLower();
        if (name == QLatin1String("le"))
            f.encoding = Encoding::LittleEndian;
        else if (name == QLatin1String("be"))
            f.encoding = Encoding::BigEndian;
        else if (name == QLatin1String("bcd"))
            f.encoding = Encoding::Bcd;
        else if (name == QLatin1String("ascii"))
            f.encoding = Encoding::Ascii;
        else
            ok = false;
    }
    const int most = f.encoding == Encoding::Ascii ? 20 : 8;
    if (!address || !ok || parts.size() > 3 || f.size < 1 || f.size > most) {
        *error = QStringLiteral("--serial takes ADDRESS:SIZE[:FORMAT], such as 0x040E:4:le: a "
                                "hexadecimal address, 1 to 8 bytes (20 for ascii), and le, be, "
                                "bcd or ascii");
        return std::nullopt;
    }
    f.address = *address;
    return f;
}

QString SerialFormat::encodingName(Encoding encoding)
{
    switch (encoding) {
    case Encoding::LittleEndian:
        return QStringLiteral("le");
    case Encoding::BigEndian:
        return QStringLiteral("be");
    case Encoding::Bcd:
        return QStringLiteral("bcd");
    case Encoding::Ascii:
        return QStringLiteral("ascii");
    }
    return QString();
}

QString SerialFormat::text() const
{
    return QStringLiteral("%1:%2:%3")
        .arg(ImagePatch::hexAddress(address))
        .arg(size)
        .arg(encodingName(encoding));
}

quint64 SerialFormat::largest() const
{
    // The top value itself marks numbers used up in the state.
    switch (encoding) {
    case Encoding::LittleEndian:
    case Encoding::BigEndian:
        return size >= 8 ? Top - 1 : (quint64(1) << (8 * size)) - 1;
    case Encoding::Bcd:
        return powerOfTen(2 * size) - 1;
    case Encoding::Ascii:
        return size >= 20 ? Top - 1 : powerOfTen(size) - 1;
    }
    return 0;
}

QByteArray SerialFormat::encode(quint64 number) const
{
    QByteArray bytes(size, '\0');
    switch (encoding) {
    case Encoding::LittleEndian:
        for (int i = 0; i < size; ++i)
            bytes[i] = char(number >> (8 * i));
        break;
    case Encoding::BigEndian:
        for (int i = 0; i < size; ++i)
            bytes[size - 1 - i] = char(number >> (8 * i));
        break;
    case Encoding::Bcd: {
        const QByteArray digits = QByteArray::number(number).rightJustified(2 * size, '0');
        for (int i = 0; i < size; ++i)
            bytes[i] = char((digits[2 * i] - '0') << 4 | (digits[2 * i + 1] - '0'));
        break;
    }
    case Encoding::Ascii:
        bytes = QByteArray::number(number).rightJustified(size, '0');
        break;
    }
    return bytes;
}

QVector<ImagePatch> UnitValues::patches() const
{
    QVector<ImagePatch> all = unitData;
    if (hasSerial)
        all.prepend(serialPatch);
    return all;
}

bool UnitNumbering::checkPatch(const ImagePatch& patch, const QString& where, QVector<int>* lines,
                               QString* error) const
{
    QString why;
    if (m_image->lines(patch, lines, &why))
        return true;
    *error = QStringLiteral("%1: %2").arg(where, why);
    return false;
}

// The list of per-unit data, every line checked against the image now.
bool UnitNumbering::readList(const std::optional<ImagePatch>& serial, QString* error)
{
    const Options& options = m_options;
    QFile list(options.unitDataPath);
    if (!list.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("the unit data list %1 cannot be read: %2")
                     .arg(options.unitDataPath, list.errorString());
        return false;
    }
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    int number = 0;
    while (!list.atEnd()) {
        const QString text = QString::fromUtf8(list.readLine()).trimmed();
        ++number;
        if (text.isEmpty() || text.startsWith(QLatin1Char('#')))
            continue;
        const QString where = QStringLiteral("%1:%2").arg(options.unitDataPath).arg(number);
        const QStringList entries = text.split(blanks, Qt::SkipEmptyParts);
        if (entries.size() > MaximumPatches) {
            *error = QStringLiteral("%1: %2 patches, at most %3 on a line")
                         .arg(where)
                         .arg(entries.size())
                         .arg(MaximumPatches);
            return false;
        }
        ListLine line{number, {}};
        for (const QString& entry : entries) {
            const int colon = int(entry.indexOf(QLatin1Char(':')));
            const auto address = colon > 0 ? parseAddress(entry.left(colon)) : std::nullopt;
            const QByteArray hex = entry.mid(colon + 1).toLatin1();
            static const QRegularExpression digits(QStringLiteral("^([0-9A-Fa-f]{2})+$"));
            if (!address || !digits.match(QString::fromLatin1(hex)).hasMatch()) {
                *error = QStringLiteral("%1: \"%2\" is not ADDRESS:HEXBYTES, such as "
                                        "0x2000:0011AABB")
                             .arg(where, elided(entry));
                return false;
            }
            const ImagePatch patch{*address, QByteArray::fromHex(hex)};
            if (patch.bytes.size() > MaximumPatchBytes) {
                *error = QStringLiteral("%1: %2 bytes at %3, at most %4 in one patch")
                             .arg(where)
                             .arg(patch.bytes.size())
                             .arg(ImagePatch::hexAddress(patch.address))
                             .arg(MaximumPatchBytes);
                return false;
            }
            QString overlapped;
            if (serial && overlap(patch, *serial))
                overlapped = QStringLiteral("the serial number");
            for (const ImagePatch& other : qAsConst(line.patches)) {
                if (overlapped.isEmpty() && overlap(patch, other))
                    overlapped = QStringLiteral("the patch at %1")
                                     .arg(ImagePatch::hexAddress(other.address));
            }
            if (!overlapped.isEmpty()) {
                *error = QStringLiteral("%1: the patch at %2 overlaps %3")
                             .arg(where, ImagePatch::hexAddress(patch.address), overlapped);
                return false;
            }
            QVector<int> lines;
            if (!checkPatch(patch, where, &lines, error))
                return false;
            line.patches.append(patch);
        }
        if (!line.patches.isEmpty())
            m_list.append(line);
    }
    return true;
}

UnitNumbering::Refusal UnitNumbering::open(const Options& options, const FirmwareFile& file,
                                           QString* error, bool look)
{
    m_options = options;
    m_list.clear();
    m_image.reset();
    if (!options.enabled())
        return Refusal::None;
    m_image = PatchableImage::of(file, file.check, error);
    if (!m_image)
        return Refusal::Data;

    std::optional<ImagePatch> serial;
    if (options.serial) {
        const SerialFormat& f = *options.serial;
        if (options.start > f.largest() || (options.end && *options.end > f.largest())) {
            *error = QStringLiteral("--serial %1 holds numbers up to %2 only")
                         .arg(f.text())
                         .arg(f.largest());
            return Refusal::Data;
        }
        if (options.end && *options.end < options.start) {
            *error = QStringLiteral("--serial-end %1 is below --serial-start %2")
                         .arg(*options.end)
                         .arg(options.start);
            return Refusal::Data;
        }
        serial = ImagePatch{f.address, QByteArray(f.size, '\0')};
        if (!checkPatch(*serial, QStringLiteral("the serial number at %1").arg(f.text()),
                        &m_serialLines, error))
            return Refusal::Data;
    }

    if (!options.unitDataPath.isEmpty() && !readList(serial, error))
        return Refusal::Data;

    m_nextSerial = options.start;
    m_nextLine = 1;
    if (options.statePath.isEmpty() && look)
        return Refusal::None;
    if (options.statePath.isEmpty()) {
        *error = QStringLiteral("--serial and --unit-data need --serial-state (or a --record, "
                                "beside which it is kept)");
        return Refusal::State;
    }
    bool exists = false;
    const auto state = readState(options.statePath, &exists, error);
    if (!state)
        return Refusal::State;
    m_nextSerial = exists ? qMax(state->nextSerial, options.start) : options.start;
    m_nextLine = exists ? state->nextLine : 1;
    m_block = m_queued = Block();
    if (usesSeries()) {
        // The blocks this station holds of its series, whatever the options say now.
        if (exists && !state->series.isEmpty() && state->series != options.series &&
            (!state->block.isEmpty() || !state->queued.isEmpty())) {
            *error = QStringLiteral("the serial state %1 holds numbers of the series %2, not %3")
                         .arg(options.statePath, state->series, options.series);
            return Refusal::State;
        }
        // Numbers leased to another computer (a copied state, a restored
        // backup, a cloned disk) are that computer's: none of them goes here.
        const bool holds = !state->block.isEmpty() || !state->queued.isEmpty();
        if (exists && holds && !state->machine.isEmpty() && state->machine != machineId()) {
            *error = QStringLiteral("the serial state %1 holds numbers of the series %2 leased to "
                                    "another computer (machine %3; this is %4): a state file "
                                    "copied or restored from there. Remove its block= and queued= "
                                    "lines (or the file) before this station runs: those numbers "
                                    "stay that computer's, and this station leases its own")
                         .arg(options.statePath, state->series, state->machine, machineId());
            return Refusal::State;
        }
        m_block = state->block;
        m_queued = state->queued;
        m_holder = state->holder.isEmpty() ? QUuid::createUuid().toString(QUuid::WithoutBraces)
                                           : state->holder;
        m_nextSerial = m_block.isEmpty() ? 0 : qMax(state->nextSerial, m_block.first);
    }
    // Written now, so a state that cannot be kept costs no unit.
    if (!look && !saveState(error))
        return Refusal::State;
    return Refusal::None;
}

bool UnitNumbering::saveState(QString* error) const
{
    State s{m_nextSerial, m_nextLine, m_options.series, m_block, m_queued,
            usesSeries() ? machineId() : QString(), m_holder};
    return writeState(m_options.statePath, s, !m_options.unitDataPath.isEmpty(), error);
}

quint64 UnitNumbering::numbersHeld() const
{
    quint64 held = m_queued.count();
    if (!m_block.isEmpty() && m_nextSerial >= m_block.first && m_nextSerial <= m_block.last)
        held += (m_block.last - m_nextSerial) / m_block.step + 1;
    return held;
}

bool UnitNumbering::wantsBlock() const
{
    // Half a block ahead: a short outage of the server costs no unit.
    return usesSeries() && m_queued.isEmpty() &&
           numbersHeld() <= quint64(qMax(1, m_options.block / 2));
}

bool UnitNumbering::addBlock(const Block& block, QString* error)
{
    const Block wasBlock = m_block, wasQueued = m_queued;
    const quint64 wasNext = m_nextSerial;
    if (numbersHeld() == 0) {
        m_block = block;
        m_nextSerial = block.first;
    } else {
        m_queued = block;
    }
    if (saveState(error))
        return true;
    m_block = wasBlock;
    m_queued = wasQueued;
    m_nextSerial = wasNext;
    return false;
}

QVector<UnitNumbering::Block> UnitNumbering::held() const
{
    QVector<Block> rest;
    if (numbersHeld() > m_queued.count())
        rest.append(Block{m_nextSerial, m_block.last, m_block.step});
    if (!m_queued.isEmpty())
        rest.append(m_queued);
    return rest;
}

QVector<UnitNumbering::Block> UnitNumbering::giveBack(QString* error)
{
    const QVector<Block> rest = held();
    m_block = m_queued = Block();
    m_nextSerial = 0;
    if (!saveState(error))
        return {};
    return rest;
}

const UnitNumbering::ListLine* UnitNumbering::listLineFrom(int line) const
{
    auto it = std::lower_bound(m_list.begin(), m_list.end(), line,
                               [](const ListLine& l, int n) { return l.line < n; });
    return it == m_list.end() ? nullptr : &*it;
}

std::optional<quint64> UnitNumbering::serialsLeft() const
{
    if (!m_options.serial || !m_options.end)
        return std::nullopt;
    if (m_nextSerial > *m_options.end)
        return 0;
    return (*m_options.end - m_nextSerial) / m_options.step + 1;
}

UnitNumbering::Take UnitNumbering::take(UnitValues* values, QString* why)
{
    *values = UnitValues();
    State next{m_nextSerial, m_nextLine, m_options.series, m_block, m_queued,
               usesSeries() ? machineId() : QString(), m_holder};
    if (m_options.serial && usesSeries()) {
        if (numbersHeld() == 0) {
            *why = QStringLiteral("waiting for serial numbers from the database");
            return Take::Waiting;
        }
        values->hasSerial = true;
        values->serial = m_nextSerial;
        values->serialPatch = {m_options.serial->address, m_options.serial->encode(m_nextSerial)};
        next.nextSerial = m_nextSerial + m_block.step;
        if (next.nextSerial > m_block.last && !m_queued.isEmpty()) {
            next.block = m_queued;
            next.queued = Block();
            next.nextSerial = m_queued.first;
        }
    } else if (m_options.serial) {
        const quint64 last = qMin(m_options.end.value_or(Top), m_options.serial->largest());
        if (m_nextSerial > last) {
            *why = QStringLiteral("new units are stopped: the serial numbers up to %1 are all "
                                  "used")
                       .arg(last);
            return Take::UsedUp;
        }
        values->hasSerial = true;
        values->serial = m_nextSerial;
        values->serialPatch = {m_options.serial->address, m_options.serial->encode(m_nextSerial)};
        next.nextSerial = m_nextSerial > Top - m_options.step ? Top : m_nextSerial + m_options.step;
    }
    if (!m_options.unitDataPath.isEmpty()) {
        const ListLine* line = listLineFrom(m_nextLine);
        if (!line) {
            *why = QStringLiteral("new units are stopped: every line of the unit data list %1 "
                                  "is used")
                       .arg(m_options.unitDataPath);
            return Take::UsedUp;
        }
        values->unitDataLine = line->line;
        values->unitData = line->patches;
        next.nextLine = line->line + 1;
    }
    // On the disk before the first line goes out: never the same number twice.
    if (!writeState(m_options.statePath, next, !m_options.unitDataPath.isEmpty(), why)) {
        *why = QStringLiteral("new units are stopped: %1").arg(*why);
        return Take::Failed;
    }
    m_nextSerial = next.nextSerial;
    m_nextLine = next.nextLine;
    m_block = next.block;
    m_queued = next.queued;
    return Take::Taken;
}

UnitValues UnitNumbering::valuesFor(quint64 serial) const
{
    UnitValues values;
    if (!m_options.serial)
        return values;
    values.hasSerial = true;
    values.serial = serial;
    values.serialPatch = {m_options.serial->address, m_options.serial->encode(serial)};
    return values;
}

FirmwareImage UnitNumbering::imageFor(const UnitValues& values) const
{
    return m_image ? m_image->apply(values.patches()) : FirmwareImage();
}

QStringList UnitNumbering::plan() const
{
    QStringList lines;
    auto lineList = [](const QVector<int>& numbers) {
        QStringList l;
        for (int n : numbers)
            l << QString::number(n);
        return (numbers.size() == 1 ? QStringLiteral("line ") : QStringLiteral("lines ")) +
               l.join(QStringLiteral(", "));
    };
    if (m_options.serial) {
        const SerialFormat& f = *m_options.serial;
        lines << QStringLiteral("serial number at %1 (%2 bytes, %3) patches %4; the next is %5 "
                                "(%6)")
                     .arg(ImagePatch::hexAddress(f.address))
                     .arg(f.size)
                     .arg(SerialFormat::encodingName(f.encoding), lineList(m_serialLines))
                     .arg(m_nextSerial)
                     .arg(QString::fromLatin1(f.encode(m_nextSerial).toHex().toUpper()));
    }
    if (!m_options.unitDataPath.isEmpty()) {
        const ListLine* next = listLineFrom(m_nextLine);
        lines << QStringLiteral("unit data: %1 lines left in %2")
                     .arg(m_list.end() -
                          (next ? m_list.begin() + (next - m_list.constData()) : m_list.end()))
                     .arg(m_options.unitDataPath);
        if (next) {
            QStringList patches;
            for (const ImagePatch& p : next->patches) {
                QVector<int> changed;
                QString ignored;
                (void)m_image->lines(p, &changed, &ignored);
                patches << QStringLiteral("%1 patches %2").arg(p.text(), lineList(changed));
            }
            lines << QStringLiteral("unit data: the next is line %1: %2")
                         .arg(next->line)
                         .arg(patches.join(QStringLiteral("; ")));
        }
    }
    return lines;
}

std::optional<UnitNumbering::State> UnitNumbering::readState(const QString& path, bool* exists,
                                                             QString* error)
{
    State state;
    const auto take = [&state](const QString& given, const QString& value) {
        // A bare number, as someone may have written by hand, is the next serial.
        const QString key = given.isEmpty() ? QStringLiteral("next-serial") : given;
        bool ok = false;
        // A leased block of a series: FIRST-LAST/STEP.
        const auto block = [&](Block* into) {
            const QStringList parts = value.split(QRegularExpression(QStringLiteral("[-/]")));
            bool a = false, b = false, c = false;
            if (parts.size() == 3)
                *into = {parts[0].toULongLong(&a), parts[1].toULongLong(&b),
                         parts[2].toULongLong(&c)};
            return a && b && c && into->step > 0;
        };
        if (key == QLatin1String("next-serial"))
            state.nextSerial = value.toULongLong(&ok);
        else if (key == QLatin1String("next-unit-data-line"))
            state.nextLine = value.toInt(&ok);
        else if (key == QLatin1String("series"))
            ok = !(state.series = value).isEmpty();
        else if (key == QLatin1String("block"))
            ok = block(&state.block);
        else if (key == QLatin1String("queued"))
            ok = block(&state.queued);
        else if (key == QLatin1String("machine"))
            ok = !(state.machine = value).isEmpty();
        else if (key == QLatin1String("holder"))
            ok = !(state.holder = value).isEmpty();
        return ok;
    };
    const StateFile::Read read = StateFile::read(
        path, QStringLiteral("serial state"),
        QStringLiteral("next-serial=N, next-unit-data-line=N, series=NAME, block= or "
                       "queued=FIRST-LAST/STEP, machine= or holder="),
        take, error);
    *exists = read != StateFile::Read::Missing;
    if (read == StateFile::Read::Failed)
        return std::nullopt;
    return state;
}

bool UnitNumbering::writeState(const QString& path, const State& state, bool unitData,
                               QString* error)
{
    QByteArray text = "# The next unit's serial number";
    text += unitData ? " and line of the unit data list" : "";
    text +=
        "; written before each unit.\nnext-serial=" + QByteArray::number(state.nextSerial) + '\n';
    if (unitData)
        text += "next-unit-data-line=" + QByteArray::number(state.nextLine) + '\n';
    const auto block = [](const Block& b) {
        return QByteArray::number(b.first) + '-' + QByteArray::number(b.last) + '/' +
               QByteArray::number(b.step) + '\n';
    };
    if (!state.series.isEmpty()) {
        text += "series=" + state.series.toUtf8() + '\n';
        if (!state.machine.isEmpty())
            text += "machine=" + state.machine.toUtf8() + '\n';
        if (!state.holder.isEmpty())
            text += "holder=" + state.holder.toUtf8() + '\n';
        if (!state.block.isEmpty())
            text += "block=" + block(state.block);
        if (!state.queued.isEmpty())
            text += "queued=" + block(state.queued);
    }
    QString why;
    if (AtomicFile::write(path, text, true, &why))
        return true;
    *error = QStringLiteral("the serial state %1").arg(why);
    return false;
}

QString UnitNumbering::machineId()
{
    const QString given = qEnvironmentVariable("FIRMWARE_STATION_MACHINE_ID");
    if (!given.isEmpty())
        return given;
    static const QString id = [] {
        QFile f(QStringLiteral("/etc/machine-id"));
        return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()).trimmed() : QString();
    }();
    return id.isEmpty() ? QStringLiteral("unknown") : id;
}

std::optional<quint64> UnitNumbering::readNextSerial(const QString& statePath, QString* error)
{
    bool exists = false;
    const auto state = readState(statePath, &exists, error);
    if (!state || !exists)
        return std::nullopt;
    return state->nextSerial;
}

QVector<UnitNumbering::Block> UnitNumbering::readHeld(const QString& statePath)
{
    bool exists = false;
    QString ignored;
    const auto state = readState(statePath, &exists, &ignored);
    QVector<Block> held;
    if (!state || state->series.isEmpty())
        return held;
    if (!state->block.isEmpty() && state->nextSerial <= state->block.last)
        held.append(
            {qMax(state->nextSerial, state->block.first), state->block.last, state->block.step});
    if (!state->queued.isEmpty())
        held.append(state->queued);
    return held;
}

bool UnitNumbering::raiseNextSerial(const QString& statePath, quint64 next, QString* error)
{
    bool exists = false;
    const auto state = readState(statePath, &exists, error);
    if (!state)
        return false;
    if (exists && next <= state->nextSerial)
        return true;
    State raised = *state;
    raised.nextSerial = next;
    return writeState(statePath, raised, exists && state->nextLine > 1, error);
}
