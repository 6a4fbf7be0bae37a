#pragma once

#include <QString>
#include <optional>

// The line settings behind a settings string such as "38400,N,8,1".
struct CommSettings {
    enum class StopBits { One, OneAndHalf, Two };

    int speed = 9600;
    char parity = 'n'; // always lower case: e, o, n, m or s
    int dataBits = 8;
    StopBits stopBits = StopBits::One;

    static constexpr int MinimumSpeed = 110;
    static constexpr int MaximumSpeed = 256000;

    // Accepts the parity letter in either case; on refusal returns nothing and
    // sets *error to a description that names the bad value.
    static std::optional<CommSettings> parse(const QString& text, QString* error);

    // The form the control reports: parity letter in lower case ("38400,n,8,1").
    QString toString() const;

    // Bits on the wire for one character, start and stop bits included.
    double bitsPerCharacter() const;

    bool operator==(const CommSettings& other) const
    {
        return speed == other.speed && parity == other.parity && dataBits == other.dataBits &&
               stopBits == other.stopBits;
    }
    bool operator!=(const CommSettings& other) const { return !(*this == other); }
};

QString stopBitsText(CommSettings::StopBits stopBits);
QString parityName(char parity);
