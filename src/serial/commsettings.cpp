#include "commsettings.h"

#include "status.h"

#include <QStringList>

namespace {

bool isAllDigits(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

} // namespace

std::optional<CommSettings> CommSettings::parse(const QString& text, QString* error)
{
    auto refuse = [&](const QString& why) -> std::optional<CommSettings> {
        if (error)
            *error = why;
        return std::nullopt;
    };

    const QStringList fields = text.split(QLatin1Char(','));
    if (fields.size() != 4) {
        return refuse(QStringLiteral("Invalid port settings \"%1\": expected speed, parity, data "
                                     "bits and stop bits separated by commas, such as 38400,N,8,1.")
                          .arg(elided(text)));
    }
    const QString speedText = fields[0].trimmed();
    const QString parityText = fields[1].trimmed();
    const QString dataText = fields[2].trimmed();
    const QString stopText = fields[3].trimmed();

    CommSettings s;
    bool numberOk = isAllDigits(speedText) && speedText.size() <= 9;
    const int speed = numberOk ? speedText.toInt() : 0;
    if (!numberOk || speed < MinimumSpeed || speed > MaximumSpeed) {
        return refuse(QStringLiteral("Invalid speed \"%1\" in the port settings \"%2\": the speed "
                                     "must be a whole number from %3 to %4.")
                          .arg(elided(fields[0]), elided(text))
                          .arg(MinimumSpeed)
                          .arg(MaximumSpeed));
    }
    s.speed = speed;

    const QString parityLetters = QStringLiteral("eonms");
    if (parityText.size() != 1 || !parityLetters.contains(parityText.toLower())) {
        return refuse(QStringLiteral("Invalid parity \"%1\" in the port settings \"%2\": use E "
                                     "(even), O (odd), N (none), M (mark) or S (space).")
                          .arg(elided(fields[1]), elided(text)));
    }
    s.parity = parityText.toLower().at(0).toLatin1();

    if (dataText.size() != 1 || dataText[0] < QLatin1Char('4') || dataText[0] > QLatin1Char('8')) {
        return refuse(QStringLiteral("Invalid data bits \"%1\" in the port settings \"%2\": use 4, "
                                     "5, 6, 7 or 8.")
                          .arg(elided(fields[2]), elided(text)));
    }
    s.dataBits = dataText.toInt();

    if (stopText == QLatin1String("1")) {
        s.stopBits = StopBits::One;
    } else if (stopText == QLatin1String("1.5")) {
        s.stopBits = StopBits::OneAndHalf;
    } else if (stopText == QLatin1String("2")) {
        s.stopBits = StopBits::Two;
    } else {
        return refuse(QStringLiteral("Invalid stop bits \"%1\" in the port settings \"%2\": use 1, "
                                     "1.5 or 2.")
                          .arg(elided(fields[3]), elided(text)));
    }
    return s;
}

QString CommSettings::toString() const
{
    return QStringLiteral("%1,%2,%3,%4")
        .arg(speed)
        .arg(QLatin1Char(parity))
        .arg(dataBits)
        .arg(stopBitsText(stopBits));
}

double CommSettings::bitsPerCharacter() const
{
    double stop = stopBits == StopBits::One ? 1.0 : stopBits == StopBits::Two ? 2.0 : 1.5;
    return 1.0 + dataBits + (parity == 'n' ? 0 : 1) + stop;
}

QString stopBitsText(CommSettings::StopBits stopBits)
{
    switch (stopBits) {
    case CommSettings::StopBits::One:
        return QStringLiteral("1");
    case CommSettings::StopBits::OneAndHalf:
        return QStringLiteral("1.5");
    case CommSettings::StopBits::Two:
        return QStringLiteral("2");
    }
    return QString();
}

QString parityName(char parity)
{
    switch (parity) {
    case 'e':
        return QStringLiteral("even");
    case 'o':
        return QStringLiteral("odd");
    case 'm':
        return QStringLiteral("mark");
    case 's':
        return QStringLiteral("space");
    default:
        return QStringLiteral("no");
    }
}
