#pragma once

#include <QString>
#include <optional>

// The case of an enumeration whose rawValue() is `raw`, searched in the list of its cases.
template <typename Enum, typename Cases>
std::optional<Enum> caseNamed(const QString& raw, const Cases& cases) {
    for (Enum value : cases) {
        if (rawValue(value) == raw)
            return value;
    }
    return std::nullopt;
}
