#pragma once

#include "rules/runtime_error.h"

#include <QtGlobal>
#include <limits>

// The 16-bit signed counter used for row counts, positions and loop counters. Arithmetic that
// leaves the range raises the overflow error instead of wrapping, so a list that outgrows the
// counters stops an operation cleanly instead of corrupting it.
class Int16 {
public:
    constexpr Int16() = default;

    static Int16 from(qint64 value) {
        if (value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<qint16>::max())
            throw errors::overflow(QStringLiteral("Int16"));
        Int16 result;
        result.value_ = static_cast<qint16>(value);
        return result;
    }

    constexpr qint16 value() const { return value_; }
    constexpr operator qint16() const { return value_; }

    Int16 operator+(Int16 other) const { return from(qint64(value_) + other.value_); }
    Int16 operator*(Int16 other) const { return from(qint64(value_) * other.value_); }
    Int16& operator+=(Int16 other) { return *this = *this + other; }
    Int16& operator++() { return *this = from(qint64(value_) + 1); }

private:
    qint16 value_ = 0;
};
