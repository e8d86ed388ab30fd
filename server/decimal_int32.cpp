#include "server/decimal_int32.h"

#include <algorithm>
#include <limits>

namespace centeremp::server {

namespace {

constexpr qint64 int32Min = std::numeric_limits<qint32>::min();
constexpr qint64 int32Max = std::numeric_limits<qint32>::max();
constexpr int decimalBase = 10;

char16_t codeUnit(QChar c) { return c.unicode(); }
char16_t codeUnit(char c) { return static_cast<unsigned char>(c); }

bool isAsciiDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

template <typename View>
Int32Scan scan(View text) {
    qsizetype at = 0;
    const bool negative = !text.isEmpty() && codeUnit(text[0]) == u'-';
    if (negative) ++at;
    const qsizetype digitsStart = at;
    // Saturates just past the largest magnitude (that of the minimum), so any number of digits
    // can be read without overflow and still be told out of range.
    constexpr qint64 saturated = -int32Min + 1;
    qint64 magnitude = 0;
    for (; at < text.size() && isAsciiDigit(codeUnit(text[at])); ++at)
        magnitude = std::min(magnitude * decimalBase + (codeUnit(text[at]) - u'0'), saturated);
    if (at == digitsStart) return {};
    const qint64 value = negative ? -magnitude : magnitude;
    if (value < int32Min || value > int32Max) return {Int32Scan::Result::OutOfRange, 0, at};
    return {Int32Scan::Result::Read, qint32(value), at};
}

}  // namespace

Int32Scan scanInt32(QStringView text) { return scan(text); }

Int32Scan scanInt32(QByteArrayView text) { return scan(text); }

std::optional<qint32> parseInt32(QByteArrayView text) {
    const Int32Scan number = scanInt32(text);
    if (number.result != Int32Scan::Result::Read || number.length != text.size()) return std::nullopt;
    return number.value;
}

}  // namespace centeremp::server
