#pragma once

#include "commsettings.h"
#include "linecounters.h"
#include "portdiagnosis.h"
#include "status.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>
#include <QVector>
#include <memory>

// The serial control the terminal window works through. It offers the
// properties and the OnComm event the program uses, under their usual names,
// over QSerialPort.
//
// Property writes that the port refuses return a failed Status whose
// description is meant for the operator; nothing here shows a message.
class MSComm : public QObject
{
    Q_OBJECT

public:
    // OnComm codes the program tells apart.
    enum CommEventCode {
        comEvSend = 1,
        comEvReceive = 2,
        comEvCTS = 3,
        comEvDSR = 4,
        comEvCD = 5,
        comEvRing = 6,
        comEvEOF = 7,
        comEventBreak = 1001,
        comEventCTSTO = 1002,
        comEventDSRTO = 1003,
        comEventFrame = 1004,
        comEventOverrun = 1006,
        comEventCDTO = 1007,
        comEventRxOver = 1008,
        comEventRxParity = 1009,
        comEventTxFull = 1010,
        comEventDCB = 1011,
    };

    static constexpr int MaximumPortNumber = 255;

    explicit MSComm(QObject* parent = nullptr);
    ~MSComm() override;

    // "speed,parity,databits,stopbits"; reported with a lower-case parity letter.
    QString Settings() const;
    Status setSettings(const QString& text);

    int CommPort() const { return m_commPort; }
    Status setCommPort(int number);

    // 0 none, 1 Xon/Xoff, 2 RTS, 3 Xon/Xoff and RTS.
    int Handshaking() const { return m_handshaking; }
    Status setHandshaking(int code);

    bool DTREnable() const { return m_dtrEnable; }
    Status setDTREnable(bool enable);
    bool RTSEnable() const { return m_rtsEnable; }
    Status setRTSEnable(bool enable);

    bool PortOpen() const;
    Status setPortOpen(bool open);
    // Why the last open failed, for a display that says it in a word.
    struct OpenFailure {
        enum class Kind { None, Missing, InUse, Forbidden, Other };
        Kind kind = Kind::None;
        QString holder; // "minicom (process 4711)", when a lock file names it
    };
    const OpenFailure& openFailure() const { return m_openFailure; }
    // Closes without telling anyone, for a program on its way out.
    void closeQuietly()
    {
        if (m_port.isOpen())
            closeDevice(Closing::Quietly);
    }

    // Queues the bytes exactly as given, starts them on their way and
    // returns at once. When they do not all leave at once, transmitSettled()
    // follows.
    [[nodiscard]] Status Output(const QByteArray& bytes);
    // Bytes not yet on the wire: ours and the driver's output queue.
    int OutBufferCount() const;
    // Output() left bytes queued, and transmitSettled() is still to come.
    bool outputPending() const { return m_draining; }

    // 0 holds receive events back; n >= 1 raises OnComm with comEvReceive
    // whenever at least n bytes are waiting.
    int RThreshold() const { return m_rThreshold; }
    Status setRThreshold(int threshold);

    // The waiting bytes, unaltered.
    QByteArray Input();
    int InBufferCount() const;
    // Bytes have come, here or still in the driver, that nobody has read.
    bool inputWaiting() const;
    // Only 0 is accepted: discards everything received and not yet read.
    Status setInBufferCount(int count);

    // The code of the event being raised; read at the start of OnComm.
    int CommEvent() const { return m_commEvent; }

    // A device named by its path instead of a port number (the command-line
    // uploader's --port /dev/...); empty goes back to CommPort. Links are
    // followed at each open, and the device is locked under its own name.
    void setDevicePath(const QString& path) { m_devicePath = path; }
    // From now on the port opens again as the device it is now (its pin
    // link, or the device the system listed), never as whatever Com n comes
    // to mean when adaptors come and go. A change of CommPort lets go.
    void holdDevice();
    void releaseDevice();
    bool holdsDevice() const { return !m_heldName.isEmpty(); }
    // The device behind CommPort: the open one, the held one, or the one the
    // number resolves to.
    QString device() const;
    // "Com1 (/dev/ttyUSB0)", the way failure texts name the port.
    QString portLabel() const;
    // Whom the failure texts advise (the window's operator by default).
    void setAdvice(PortAdvice advice) { m_advice = advice; }
    // How long the queued output should take on the wire.
    int drainTimeHintMs() const;

    void setLineCounterSource(std::unique_ptr<LineCounterSource> source);

signals:
    void OnComm();
    // What Output() queued has all left the port, or was dropped when the
    // port closed (`delivered` false; `why` says so for the operator).
    void transmitSettled(bool delivered, const QString& why);
    // The device went away while open; the port has been closed.
    void portLost(const QString& description);

private:
    Status openDevice();
    Status openDeviceAs();
    void noteFailure(OpenFailure::Kind kind, const DeviceAccess& access);
    enum class Closing { Quietly, Reporting };
    void closeDevice(Closing closing = Closing::Reporting, const QString& why = QString());
    void checkDrained();
    Status applyLineSettings(const CommSettings& settings);
    Status applyHandshaking(int code);
    Status applyModemLine(bool dtr, bool on);
    void applyModemLines();
    Status refusal(const QString& what) const;

    void onReadyRead();
    void onPortError(QSerialPort::SerialPortError error);
    bool deviceHungUp() const;
    void closeAfterLoss();
    void scheduleDispatch();
    void dispatchEvents();
    void dispatchQueued();
    void raise(int code);

    QSerialPort m_port;
    CommSettings m_settings;
    int m_commPort = 1;
    int m_handshaking = 0;
    bool m_dtrEnable = true;
    bool m_rtsEnable = true;
    int m_rThreshold = 1;
    int m_commEvent = 0;
    QString m_openDevice;
    QString m_devicePath;
    QString m_heldName;   // opened while held: a link, or a device
    QString m_heldDevice; // the device it named when the hold began
    PortAdvice m_advice = PortAdvice::Window;
    OpenFailure m_openFailure;

    bool m_configuring = false;
    bool m_lost = false;
    int m_transientErrors = 0;
    QString m_lostDescription;

    bool m_dispatchPosted = false;
    bool m_dispatching = false;
    bool m_redispatch = false;
    bool m_draining = false; // Output() left bytes queued; transmitSettled() is due
    QTimer m_drainTimer;
    QVector<int> m_pendingLineEvents;
    std::unique_ptr<LineCounterSource> m_counterSource;
    std::optional<LineCounters> m_counters;
};
