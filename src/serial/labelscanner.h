#pragma once

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>

// A barcode scanner on a serial port (a USB CDC one, as most are): one
// label per line, ended by CR, LF or both. A scanner that is not there, or
// goes, is looked for again every second; its state is said once per change.
class LabelScanner : public QObject
{
    Q_OBJECT

public:
    explicit LabelScanner(QObject* parent = nullptr);
    void start(const QString& port);
    void stop();

signals:
    void label(const QString& text);
    void stateChanged(const QString& text);

private:
    void tryOpen();
    void onReady();
    void say(const QString& text);

    QSerialPort m_port;
    QString m_path;
    QTimer m_retry;
    QByteArray m_partial;
    QString m_said;
};
