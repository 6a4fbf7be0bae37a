#pragma once

#include "../upload/firmwarecheck.h"
#include "unitnumbering.h"

#include <QDate>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

class QSettings;
struct FirmwareFile;

// Every setting of a bench, each named once: its key in a config file (the
// command line's long option), its key in the station window's store, its
// default and its limits.
enum class BenchField {
    Name,
    File,
    Sha256,
    Ports,
    SlotNames,
    Record,
    Audit,
    Database,
    Mqtt,
    Metrics,
    NextAfter,
    WarnResends,
    Timeout,
    MaxResends,
    Settings,
    Handshaking,
    AddressRange,
    Force,
    Quiet,
    Serial,
    SerialStart,
    SerialStep,
    SerialEnd,
    SerialState,
    UnitData,
    SerialSeries,
    SerialBlock,
    Scanner,
    RequireLabel,
    LabelPattern,
    Rework,
    Order,
    OrderUnits,
    ValidUntil,
    Language,
};

// Why a bench cannot run as it stands: which field, of what kind (the
// hosts turn the kind into an exit code or a box), and why, in words that
// name the command line's option.
struct BenchRefusal {
    enum class Kind {
        Usage,  // a value, or values that do not go together
        File,   // the firmware, or what is put into it
        Output, // a record, state or metrics file that cannot be written
    };
    BenchField field = BenchField::File;
    Kind kind = Kind::Usage;
    QString why;
};

// One bench: what the station verb's options, a config file's [Station]
// group, the station window's settings and its Export Bench Config all
// are. A bench as given, before any host fills in its own defaults.
struct BenchConfig {
    QString name; // the bench in the record; the host's name unless given
    QString file;
    QString sha256; // pinned, lower case; empty: none
    QStringList ports;
    QStringList slotNames; // by position in `ports`; what the operator calls each slot
    QString record;
    QString audit;    // the audit trail; empty: beside the record
    QString database; // a PostgreSQL URI without its password
    QString mqtt;     // the factory's MQTT broker and topic prefix
    QString metrics;
    double nextAfterSeconds = 2;
    double warnResendsPercent = 10;
    int timeoutSeconds = 10;
    int maxResends = 20;
    QString settings;               // empty: the host's default ("38400,N,8,1")
    std::optional<int> handshaking; // none: the host's default (0)
    std::optional<FirmwareCheck::Range> addressRange;
    bool force = false;
    bool quiet = false;
    std::optional<SerialFormat> serial;
    quint64 serialStart = 1;
    quint64 serialStep = 1;
    std::optional<quint64> serialEnd;
    QString serialState; // empty: beside the record
    QString unitData;
    QString serialSeries; // the factory's series in --database; empty: numbers of this bench's own
    int serialBlock = 20; // numbers leased at a time
    QString scanner;      // a serial barcode scanner's port
    bool requireLabel = false;
    QString labelPattern; // a label must match it whole
    enum class Rework { Keep, New, Refuse };
    Rework rework = Rework::Keep; // a label whose unit passed before
    QString order;  // the factory's work order a released job makes units of
    int orderUnits = 0; // the order's quantity; 0: none
    QDate validUntil;   // a released job runs up to and with this day; null: no end
    QString language;   // the station window's for its operators ("vi"); empty: theirs

    BenchConfig();

    // A field's row: how it is named, read, written, limited and explained.
    // Each field is one row; nothing else switches over the fields.
    struct FieldInfo {
        BenchField field;
        const char* key;      // in a config file, and the long option
        const char* storeKey; // in the station window's store; empty: not kept there
        const char* shortName;
        const char* valueName; // empty: a switch
        const char* help;      // the default is added to it
        // The value from its text (trimmed unless the field keeps spaces);
        // false with `why` naming the option.
        bool (*parse)(BenchConfig& bench, const QString& text, const FieldInfo& row, QString* why);
        // The value as parse() takes it back; empty at the default.
        QString (*format)(const BenchConfig& bench);
        // The value of `from`, as it is.
        void (*copy)(BenchConfig& to, const BenchConfig& from);
        struct Limits {
            double low = 0, high = 0;
            const char* what = ""; // "whole seconds"
        } limits;
        const char* shown; // the default as --help shows it; empty: none
    };
    static const QVector<FieldInfo>& fields();
    static const FieldInfo& info(BenchField field);
    static std::optional<BenchField> fieldOfKey(const QString& key);
    // "--timeout"
    static QString optionName(BenchField field);
    // The default as --help shows it ("10"); empty when there is none to show.
    static QString defaultText(BenchField field);

    // One field from its text, as the command line and a config file give
    // it: false, with `why` naming the option, when the value is refused.
    [[nodiscard]] bool set(BenchField field, const QString& text, QString* why);
    // A field as set() takes it back; empty when it is at its default.
    QString text(BenchField field) const;
    bool isDefault(BenchField field) const;
    // The field as `from` has it.
    void take(BenchField field, const BenchConfig& from) { info(field).copy(*this, from); }

    // A config file's [Station] group over this bench. A bad line is named
    // by its file and line: "bench.conf:4: timeout: --timeout takes ...".
    // The values of `skip` (given elsewhere, and winning) are not read;
    // `lines` tells where each value read came from.
    [[nodiscard]] bool readFile(const QString& path, QString* error,
                                const QList<BenchField>& skip = {},
                                QHash<BenchField, int>* lines = nullptr);
    // The same of a file's bytes already read (a signed job), named `name`:
    // the one reader of a bench's text.
    [[nodiscard]] bool readText(const QByteArray& text, const QString& name, QString* error,
                                const QList<BenchField>& skip = {},
                                QHash<BenchField, int>* lines = nullptr);
    // The bench as such a file, whole; only what differs from the defaults.
    [[nodiscard]] bool writeFile(const QString& path, QString* error) const;
    QByteArray toText() const;
    // The station window's store (its [Station] group): a value it refuses
    // leaves the default, as a store edited by hand may hold anything.
    void readStore(QSettings& store);
    void writeStore(QSettings& store) const;

    // What each use of a bench needs of its fields together.
    enum class Use { Check, Send, Station };
    std::optional<BenchRefusal> problem(Use use) const;
    // The file as read for a run: empty, another build than the pinned one,
    // failing its check without --force, or no text at all.
    std::optional<BenchRefusal> refuseFirmware(const FirmwareFile& file) const;

    FirmwareCheck::Options checkOptions() const;
    UnitNumbering::Options numbering() const;
    // Where the audit trail goes: `audit`, or the record's path with .audit added.
    QString auditPath() const;
    QString lineSettings() const; // `settings`, or the default
    // The slot's name at `index`, or empty.
    QString slotName(int index) const { return slotNames.value(index); }

    bool operator==(const BenchConfig& o) const;
    bool operator!=(const BenchConfig& o) const { return !(*this == o); }
};
