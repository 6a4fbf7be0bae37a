#include "labelscanner.h"

LabelScanner::LabelScanner(QObject* parent) : QObject(parent)
{
    m_retry.setInterval(1000);
    connect(&m_retry, &QTimer::timeout, this, &LabelScanner::tryOpen);
    connect(&m_port, &QSerialPort::readyRead, this, &LabelScanner::onReady);
    connect(&m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
        if (e == QSerialPort::ResourceError && m_port.isOpen()) {
            m_port.close();
            say(QStringLiteral("the scanner %1 is gone; looked for every second").arg(m_path));
            m_retry.start();
        }
    });
}

void LabelScanner::start(const QString& port)
{
    m_path = port;
    m_port.setPortName(port);
    tryOpen();
}

void LabelScanner::stop()
{
    m_retry.stop();
    if (m_port.isOpen())
        m_port.close();
}

void LabelScanner::tryOpen()
{
    if (m_port.isOpen())
        return;
    m_port.setBaudRate(QSerialPort::Baud9600);
    if (!m_port.open(QIODevice::ReadOnly)) {
        say(QStringLiteral("the scanner %1 cannot be opened (%2); looked for every second")
                .arg(m_path, m_port.errorString()));
        if (!m_retry.isActive())
            m_retry.start();
        return;
    }
    m_retry.stop();
    m_partial.clear();
    say(QStringLiteral("the scanner %1 is ready").arg(m_path));
}

void LabelScanner::onReady()
{
    m_partial += m_port.readAll();
    for (;;) {
        const qsizetype lf = m_partial.indexOf('\n');
        const qsizetype cr = m_partial.indexOf('\r');
        const qsizetype end = lf < 0 ? cr : cr < 0 ? lf : qMin(lf, cr);
        if (end < 0)
            break;
        // CR LF is one end: the empty line between them is no label.
        const QByteArray line = m_partial.left(end).trimmed();
        m_partial.remove(0, end + 1);
        if (!line.isEmpty())
            emit label(QString::fromUtf8(line));
    }
    // A scanner sends a label in one go; a runaway stream is no label.
    if (m_partial.size() > 4096)
        m_partial.clear();
}

void LabelScanner::say(const QString& text)
{
    if (text != m_said)
        emit stateChanged(m_said = text);
}
