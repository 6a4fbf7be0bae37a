#include "portcommands.h"

#include "../serial/doctor.h"
#include "../serial/mscomm.h"
#include "../serial/portresolver.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <cstdio>

namespace {

void out(const QString& text)
{
    std::fputs(qPrintable(text + QLatin1Char('\n')), stdout);
}

QString comNames(const PortEntry& e)
{
    QStringList names;
    for (int n : e.comNumbers)
        names << QStringLiteral("Com%1").arg(n);
    return names.join(QLatin1Char(','));
}

QJsonObject toJson(const PortEntry& e)
{
    QJsonArray com;
    for (int n : e.comNumbers)
        com.append(n);
    QJsonObject o{{"device", e.device},
                  {"com", com},
                  {"pinnedBy", QJsonArray::fromStringList(e.pinnedBy)},
                  {"by_id", QJsonArray::fromStringList(e.byId)},
                  {"by_path", QJsonArray::fromStringList(e.byPath)},
                  {"listedBySystem", e.listedBySystem},
                  {"exists", e.exists},
                  {"mayOpen", e.mayOpen && e.access.isEmpty()},
                  {"access", e.access.isEmpty() ? QStringLiteral("free") : e.access}};
    auto put = [&o](const char* key, const QString& value) {
        if (!value.isEmpty())
            o.insert(QLatin1String(key), value);
    };
    put("description", e.description);
    put("manufacturer", e.manufacturer);
    put("serialNumber", e.serialNumber);
    if (e.vendorId)
        o.insert("vendorId", QStringLiteral("%1").arg(*e.vendorId, 4, 16, QLatin1Char('0')));
    if (e.productId)
        o.insert("productId", QStringLiteral("%1").arg(*e.productId, 4, 16, QLatin1Char('0')));
    return o;
}

} // namespace

namespace PortCommands {

QString deviceOf(const QString& port)
{
    static const QRegularExpression number(QStringLiteral("^[0-9]+$"));
    if (number.match(port).hasMatch())
        return PortResolver::resolve(port.toInt()).device;
    return port;
}

int listPorts(bool json)
{
    const QVector<PortEntry> ports = PortListing::list();
    if (json) {
        QJsonArray all;
        for (const PortEntry& e : ports)
            all.append(toJson(e));
        std::fputs(QJsonDocument(all).toJson().constData(), stdout);
        return 0;
    }
    if (ports.isEmpty()) {
        out(QStringLiteral(
            "No serial ports: plug in the adaptor, or see firmware-upload --doctor."));
        return 0;
    }
    for (const PortEntry& e : ports) {
        QString head = QStringLiteral("%1  %2").arg(comNames(e).leftJustified(6), e.device);
        QStringList what;
        if (!e.description.isEmpty())
            what << e.description;
        if (!e.manufacturer.isEmpty() && !e.description.contains(e.manufacturer))
            what << e.manufacturer;
        const QString ids = PortListing::usbIds(e);
        if (!ids.isEmpty())
            what << QStringLiteral("USB %1").arg(ids);
        if (!e.serialNumber.isEmpty())
            what << QStringLiteral("serial %1").arg(e.serialNumber);
        if (!what.isEmpty())
            head += QStringLiteral("  ") + what.join(QStringLiteral(", "));
        out(head);
        const QString indent(8, QLatin1Char(' '));
        for (const QString& p : e.pinnedBy)
            out(indent + QStringLiteral("pinned by %1").arg(p));
        for (const QString& n : e.byId)
            out(indent + QStringLiteral("by-id:   %1").arg(n));
        for (const QString& n : e.byPath)
            out(indent + QStringLiteral("by-path: %1").arg(n));
        out(indent + QStringLiteral("access:  %1")
                         .arg(e.access.isEmpty() ? QStringLiteral("you may open it") : e.access));
    }
    return 0;
}

int doctor(const QString& port, const QString& settings, int handshaking)
{
    QVector<PortEntry> ports;
    if (port.isEmpty()) {
        ports = Doctor::candidates(PortListing::list());
        if (ports.isEmpty())
            out(QStringLiteral("No USB serial adaptor is plugged in, and no port is pinned."));
    } else {
        const QString device = deviceOf(port);
        if (device.isEmpty()) {
            out(QStringLiteral("%1: no serial device is known for Com%1.").arg(port));
            return 1;
        }
        ports << PortListing::describe(device);
    }
    const QVector<Doctor::Finding> findings = Doctor::examine(ports, Doctor::System::real());
    for (const Doctor::Finding& f : findings)
        out(f.text.contains(f.subject) ? f.text : QStringLiteral("%1: %2").arg(f.subject, f.text));
    bool opened = true;
    if (!port.isEmpty() && ports.first().exists && ports.first().mayOpen) {
        // The one thing the doctor opens: the port asked about, as an upload would.
        MSComm comm;
        comm.setAdvice(PortAdvice::CommandLine);
        comm.setDevicePath(deviceOf(port));
        Status s = comm.setSettings(settings);
        if (s.isOk())
            s = comm.setHandshaking(handshaking);
        if (s.isOk())
            s = comm.setPortOpen(true);
        opened = s.isOk();
        if (opened) {
            (void)comm.setPortOpen(false);
            out(QStringLiteral("%1: opened and closed with %2, handshaking %3.")
                    .arg(port, settings)
                    .arg(handshaking));
        } else {
            out(QStringLiteral("%1: %2").arg(port, s.description()));
        }
    }
    if (findings.isEmpty() && opened)
        out(QStringLiteral("Nothing found that would keep an adaptor from working."));
    return findings.isEmpty() && opened ? 0 : 1;
}

} // namespace PortCommands
