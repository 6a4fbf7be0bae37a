#pragma once

#include "../upload/firmwarefile.h"
#include "../upload/imagepatch.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

// Where a serial number goes in the image and how it is written there.
struct SerialFormat {
    enum class Encoding { LittleEndian, BigEndian, Bcd, Ascii };

    quint64 address = 0;
    int size = 4; // bytes
    Encoding encoding = Encoding::LittleEndian;

    // "ADDRESS:SIZE[:FORMAT]": hexadecimal address (0x optional), bytes,
    // and le (the default), be, bcd (packed, big-endian) or ascii (decimal
    // digits, zero-padded to SIZE).
    static std::optional<SerialFormat> parse(const QString& text, QString* error);
    QString text() const; // as parse() takes it
    static QString encodingName(Encoding encoding);
    // The largest number the format holds.
    quint64 largest() const;
    // `number` as it goes into the image; it must be at most largest().
    QByteArray encode(quint64 number) const;
};

// What one unit gets of its own.
struct UnitValues {
    bool hasSerial = false;
    quint64 serial = 0;
    ImagePatch serialPatch;
    int unitDataLine = 0; // the list's line, 1-based; 0 for none
    QVector<ImagePatch> unitData;

    QVector<ImagePatch> patches() const;
};

// A number of its own for every unit, and a line of a list of per-unit
// data: taken before the unit's first line, with the next ones kept in a
// state file that is written whole, flushed and renamed before the number
// is handed out. So no number is ever handed out twice, whatever happens:
// a unit that fails, is interrupted or whose program is killed uses up its
// number.
class UnitNumbering
{
public:
    struct Options {
        std::optional<SerialFormat> serial;
        quint64 start = 1;
        quint64 step = 1;
        std::optional<quint64> end; // the last number to hand out
        QString unitDataPath;
        QString statePath;
        QString series; // the factory's series; empty: the numbers are this bench's own
        int block = 20; // numbers of the series leased at a time

        bool enabled() const { return serial.has_value() || !unitDataPath.isEmpty(); }
    };

    enum class Refusal {
        None,
        State, // the state file cannot be read or written
        Data,  // a patch does not fit the image, or the list cannot be read
    };

    bool enabled() const { return m_options.enabled(); }
    const Options& options() const { return m_options; }

    // Reads the state and the list, checks every patch against `file`, and
    // writes the state (proving it can be kept) before anything is sent.
    // `look`: only looks, for a check, and writes nothing.
    [[nodiscard]] Refusal open(const Options& options, const FirmwareFile& file, QString* error,
                               bool look = false);

    // Waiting: a series' numbers have not come from the database yet.
    enum class Take { Taken, UsedUp, Failed, Waiting };
    // The next unit's values; the state on the disk is past them when this
    // returns Taken. UsedUp: the numbers or the list have run out.
    Take take(UnitValues* values, QString* why);
    // The image with a unit's values put in.
    FirmwareImage imageFor(const UnitValues& values) const;
    // A unit's values with a number it had before (a rework that keeps it).
    UnitValues valuesFor(quint64 serial) const;

    quint64 nextSerial() const { return m_nextSerial; }

    // The factory's series (Options::series): numbers come in blocks
    // leased from the database, each kept in the state file before its
    // first number is used; the next is asked for before this one ends.
    struct Block {
        quint64 first = 1, last = 0, step = 1; // none unless given
        bool isEmpty() const { return last < first || step == 0; }
        quint64 count() const { return isEmpty() ? 0 : (last - first) / step + 1; }
    };
    bool usesSeries() const { return !m_options.series.isEmpty(); }
    // Numbers held and not yet handed out, in this block and the next.
    quint64 numbersHeld() const;
    // Whether another block should be leased now (the low-water mark).
    bool wantsBlock() const;
    // A block leased: on the disk when this returns true.
    [[nodiscard]] bool addBlock(const Block& block, QString* error);
    // The numbers held and not yet handed out: the rest of this block, and the next.
    QVector<Block> held() const;
    // Who holds the series' numbers here: this state file's own id, made
    // with its first lease and kept with its blocks and in the database's
    // rows. A state copied to another computer is told by its machine.
    QString holder() const { return m_holder; }
    // This computer's id (/etc/machine-id; FIRMWARE_STATION_MACHINE_ID names
    // another, for a container or a test).
    static QString machineId();
    // A clean stop: the numbers not handed out, taken from the state, for
    // the ledger to mark returned.
    QVector<Block> giveBack(QString* error);
    const Block& block() const { return m_block; }
    // The serial numbers left before --serial-end; nothing without an end.
    std::optional<quint64> serialsLeft() const;
    // What --check tells: the lines each patch changes, and the first values.
    QStringList plan() const;

    // The next number kept in a state file, for a window that shows it.
    static std::optional<quint64> readNextSerial(const QString& statePath, QString* error);
    // The numbers of a series a state file holds, not yet handed out.
    static QVector<Block> readHeld(const QString& statePath);
    // Raises the next number kept; never lowers it.
    [[nodiscard]] static bool raiseNextSerial(const QString& statePath, quint64 next,
                                              QString* error);

private:
    struct State {
        quint64 nextSerial = 1;
        int nextLine = 1;
        QString series;
        Block block, queued; // a series' numbers held
        QString machine;     // the computer the numbers are leased to
        QString holder;      // the leases' own id, as the database's rows have it
    };
    struct ListLine {
        int line;
        QVector<ImagePatch> patches;
    };
    static std::optional<State> readState(const QString& path, bool* exists, QString* error);
    static bool writeState(const QString& path, const State& state, bool unitData, QString* error);
    bool saveState(QString* error) const;
    bool checkPatch(const ImagePatch& patch, const QString& where, QVector<int>* lines,
                    QString* error) const;
    const ListLine* listLineFrom(int line) const;
    [[nodiscard]] bool readList(const std::optional<ImagePatch>& serial, QString* error);

    Options m_options;
    std::optional<PatchableImage> m_image;
    QVector<ListLine> m_list;
    quint64 m_nextSerial = 1;
    int m_nextLine = 1;
    QVector<int> m_serialLines; // the image's lines the serial number changes
    Block m_block, m_queued;    // a series' numbers held
    QString m_holder;           // this state's leases, as the database knows them
};
