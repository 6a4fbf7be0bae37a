#pragma once

#include "../upload/unitresult.h"

#include <QString>
#include <optional>

// The record's spelling of a unit's result, kept as records years old have
// it: whoever writes a record line or reads one back goes through here.
namespace RecordWords {

inline QString result(UnitResult result)
{
    switch (result) {
    case UnitResult::Pass:
        return QStringLiteral("pass");
    case UnitResult::Fail:
        return QStringLiteral("fail");
    case UnitResult::Interrupted:
        return QStringLiteral("interrupted");
    }
    return QString();
}

inline std::optional<UnitResult> resultOf(QStringView word)
{
    for (UnitResult r : {UnitResult::Pass, UnitResult::Fail, UnitResult::Interrupted}) {
        if (word == result(r))
            return r;
    }
    return std::nullopt;
}

} // namespace RecordWords
