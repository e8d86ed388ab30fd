#pragma once

#include <QByteArrayView>
#include <QStringView>

#include <optional>

namespace centeremp::server {

// A 32-bit signed integer written the one way the server reads one: an optional '-' and ASCII
// decimal digits, leading zeros allowed. Nothing else belongs to it: no '+', no blanks, no
// digit grouping, no other scripts' digits.
struct Int32Scan {
    enum class Result { Read, NoDigits, OutOfRange };
    Result result = Result::NoDigits;
    qint32 value = 0;      // when Read
    qsizetype length = 0;  // the sign and all the digits after it, also when OutOfRange; 0 when NoDigits
};

// Reads such an integer at the start of text, taking every digit there is; what follows it is
// the caller's to judge.
Int32Scan scanInt32(QStringView text);
Int32Scan scanInt32(QByteArrayView text);

// The whole text is one such integer.
std::optional<qint32> parseInt32(QByteArrayView text);

}  // namespace centeremp::server
