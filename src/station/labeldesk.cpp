#include "labeldesk.h"

#include "../records/recorddatabase.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>
#include <QVariant>
#include <atomic>

namespace {

std::atomic<int> lookups{0};

} // namespace

LabelDesk::LabelDesk(QObject* parent) : QObject(parent) {}

void LabelDesk::configure(const BenchConfig& bench, const std::optional<DatabaseUrl>& database)
{
    m_bench = bench;
    m_database = database;
    m_enabled = bench.requireLabel || !bench.scanner.isEmpty() || !bench.labelPattern.isEmpty();
    m_pattern = QRegularExpression(QRegularExpression::anchoredPattern(
        bench.labelPattern.isEmpty() ? QStringLiteral(".+") : bench.labelPattern));
    m_waiting.clear();
    m_underWay.clear();
    m_nextFor.clear();
    m_passes.clear();
    if (!bench.record.isEmpty())
        indexRecord(bench.record);
}

void LabelDesk::indexRecord(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        if (!line.contains("\"label\""))
            continue;
        const QJsonObject r = QJsonDocument::fromJson(line).object();
        if (r.value("result").toString() != QLatin1String("pass"))
            continue;
        Earlier e{r.value("id").toString(), r.value("station").toString(),
                  QDateTime::fromString(r.value("ended").toString(), Qt::ISODateWithMs),
                  std::nullopt};
        if (r.value("serial").isObject())
            e.serial = quint64(r.value("serial")["number"].toInteger());
        m_passes.insert(r.value("label").toString(), e);
    }
}

void LabelDesk::scan(const QString& given)
{
    const QString text = given.trimmed();
    if (text.isEmpty())
        return;
    // A slot's name: the next label is that slot's.
    for (int i = 0; i < m_bench.ports.size(); ++i) {
        if (!m_bench.slotName(i).isEmpty() && m_bench.slotName(i) == text) {
            m_nextFor = m_bench.ports[i];
            emit said(m_nextFor, QStringLiteral("scan the unit's label for %1").arg(text), false);
            return;
        }
    }
    QString port = m_nextFor;
    if (port.isEmpty() && m_bench.ports.size() == 1)
        port = m_bench.ports.first();
    if (port.isEmpty()) {
        emit said(QString(),
                  QStringLiteral("%1: scan the slot's name first, then the unit's label").arg(text),
                  true);
        return;
    }
    m_nextFor.clear();
    if (!m_pattern.match(text).hasMatch()) {
        emit said(port,
                  QStringLiteral("%1 is no label of these units (they match %2)")
                      .arg(text, m_bench.labelPattern),
                  true);
        return;
    }
    if (m_waiting.value(port).text == text || m_underWay.value(port) == text) {
        emit said(port, QStringLiteral("%1 was scanned twice: scan the next unit's label").arg(text),
                  true);
        return;
    }
    m_waiting.insert(port, Label{text, false, std::nullopt});
    emit said(port, QStringLiteral("label %1").arg(text), false);
    lookUp(port, text);
}

void LabelDesk::lookUp(const QString& port, const QString& label)
{
    const auto settle = [this, port, label](std::optional<Earlier> earlier, bool asked) {
        auto it = m_waiting.find(port);
        if (it == m_waiting.end() || it->text != label)
            return; // scanned over meanwhile
        // Without the database's word, the local record's.
        it->earlier = asked ? earlier : (m_passes.contains(label)
                                             ? std::optional<Earlier>(m_passes.value(label))
                                             : std::nullopt);
        it->checked = true;
        emit labelReady(port);
    };
    if (!m_database) {
        settle(std::nullopt, false);
        return;
    }
    // Away from the slots: a connection of its own for the one question.
    const DatabaseUrl url = *m_database;
    QThread* thread = QThread::create([this, url, label, settle] {
        std::optional<Earlier> earlier;
        bool asked = false;
        {
            RecordDatabase db(url, QStringLiteral("label-%1").arg(lookups.fetch_add(1)));
            QString error;
            if (db.open(&error)) {
                QSqlQuery q(QSqlDatabase::database(db.connectionName(), false));
                q.prepare(QStringLiteral("SELECT id, station, ended, serial FROM units WHERE "
                                         "record->>'label' = ? AND result = 'pass' ORDER BY "
                                         "ended DESC LIMIT 1"));
                q.bindValue(0, label);
                if (q.exec()) {
                    asked = true;
                    if (q.next()) {
                        earlier = Earlier{q.value(0).toString(), q.value(1).toString(),
                                          q.value(2).toDateTime(), std::nullopt};
                        if (!q.value(3).isNull())
                            earlier->serial = q.value(3).toULongLong();
                    }
                }
            }
        }
        QMetaObject::invokeMethod(this, [settle, earlier, asked] { settle(earlier, asked); },
                                  Qt::QueuedConnection);
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

const LabelDesk::Label* LabelDesk::ready(const QString& port) const
{
    const auto it = m_waiting.constFind(port);
    return it != m_waiting.constEnd() && it->checked ? &*it : nullptr;
}

bool LabelDesk::checking(const QString& port) const
{
    const auto it = m_waiting.constFind(port);
    return it != m_waiting.constEnd() && !it->checked;
}

void LabelDesk::take(const QString& port)
{
    m_underWay.insert(port, m_waiting.take(port).text);
}

void LabelDesk::drop(const QString& port)
{
    m_waiting.remove(port);
}

void LabelDesk::unitDone(const UnitRecord& record)
{
    m_underWay.remove(record.slot);
    if (record.result == UnitResult::Pass && !record.label.isEmpty()) {
        Earlier e{record.id.toString(QUuid::WithoutBraces), record.station, record.ended,
                  std::nullopt};
        if (record.own.hasSerial)
            e.serial = record.own.serial;
        m_passes.insert(record.label, e);
    }
}
