#include "rules/numeric_text.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace numeric_text {
namespace {

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

QStringView trimBlanks(QStringView text) {
    qsizetype begin = 0, end = text.size();
    while (begin < end && isBlank(text[begin])) ++begin;
    while (end > begin && isBlank(text[end - 1])) --end;
    return text.mid(begin, end - begin);
}

struct Parts {
    bool negative = false;
    QStringView integerDigits;  // without leading zeros: empty for a whole part of zero
    QStringView fractionDigits;
};

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// The fewest digits of the "000000" format.
constexpr qsizetype kPaddedWidth = 6;

// A text of digits only without its leading zeros (one kept for zero itself); nothing for any
// other text.
std::optional<QStringView> plainDigits(QStringView text) {
    if (text.isEmpty() || !std::all_of(text.begin(), text.end(), isDigit)) return std::nullopt;
    qsizetype lead = 0;
    while (lead < text.size() - 1 && text[lead] == u'0') ++lead;
    return text.sliced(lead);
}

// Splits a trimmed text into sign, integer digits and fraction digits, or fails.
std::optional<Parts> split(QStringView text) {
    Parts parts;
    qsizetype i = 0;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        parts.negative = text[i] == u'-';
        ++i;
    }
    const qsizetype intBegin = i;
    while (i < text.size() && isDigit(text[i])) ++i;
    const QStringView integerDigits = text.mid(intBegin, i - intBegin);
    if (i < text.size() && text[i] == u'.') {
        ++i;
        const qsizetype fracBegin = i;
        while (i < text.size() && isDigit(text[i])) ++i;
        parts.fractionDigits = text.mid(fracBegin, i - fracBegin);
    }
    if (i != text.size()) return std::nullopt;
    if (integerDigits.isEmpty() && parts.fractionDigits.isEmpty()) return std::nullopt;
    qsizetype lead = 0;
    while (lead < integerDigits.size() && integerDigits[lead] == u'0') ++lead;
    parts.integerDigits = integerDigits.mid(lead);
    return parts;
}

// Whether the magnitude rounds away from its whole part, decided on the exact decimal value:
// the first fraction digit and whether any digit after it is not zero; an exact half goes to
// the even neighbour. Going through a double would round long texts before this rule sees them.
bool roundsUp(const Parts& parts) {
    if (parts.fractionDigits.isEmpty()) return false;
    const QChar first = parts.fractionDigits.front();
    if (first != u'5') return first > u'5';
    const QStringView rest = parts.fractionDigits.mid(1);
    if (std::any_of(rest.begin(), rest.end(), [](QChar c) { return c != u'0'; })) return true;
    const bool odd = !parts.integerDigits.isEmpty() && (parts.integerDigits.back().unicode() - u'0') % 2 == 1;
    return odd;
}

// The rounded value, or nothing when it cannot lie in 32 bits: more than ten whole digits.
std::optional<qint64> roundedValue(const Parts& parts) {
    if (parts.integerDigits.size() > 10) return std::nullopt;
    qint64 magnitude = 0;
    for (QChar c : parts.integerDigits) magnitude = magnitude * 10 + (c.unicode() - u'0');
    if (roundsUp(parts)) ++magnitude;
    return parts.negative ? -magnitude : magnitude;
}

qint64 checkedValue(QStringView text, const QString& source, qint64 min, qint64 max) {
    const auto parts = split(trimBlanks(text));
    if (!parts) throw errors::typeMismatch(source);
    const auto value = roundedValue(*parts);
    if (!value || *value < min || *value > max) throw errors::overflow(source);
    return *value;
}

}  // namespace

bool isNumeric(QStringView text) {
    // The usual ID column is plain digits, or digits and a change letter.
    if (!text.isEmpty() && std::all_of(text.begin(), text.end(), isDigit)) return true;
    if (!text.isEmpty() && text.back().isLetter()) return false;
    return split(trimBlanks(text)).has_value();
}

qint32 toInt32(QStringView text, const QString& source) {
    return qint32(checkedValue(text, source, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
}

Int16 toInt16(QStringView text, const QString& source) {
    return Int16::from(
        checkedValue(text, source, std::numeric_limits<qint16>::min(), std::numeric_limits<qint16>::max()));
}

bool isPaddedDigits(QStringView padded, QStringView text) {
    const auto digits = plainDigits(text);
    if (!digits) return false;
    const qsizetype zeros = std::max(kPaddedWidth, digits->size()) - digits->size();
    return padded.size() == zeros + digits->size() &&
           std::all_of(padded.begin(), padded.begin() + zeros, [](QChar c) { return c == u'0'; }) &&
           padded.sliced(zeros) == *digits;
}

QString formatPadded(const QString& text) {
    // The usual ID is plain digits: write it with one allocation at most (none when it has six
    // digits or more), with room for a change letter to follow.
    if (const auto digits = plainDigits(text)) {
        if (digits->size() == text.size() && digits->size() >= kPaddedWidth) return text;
        const qsizetype width = std::max(kPaddedWidth, digits->size());
        QString padded;
        padded.reserve(width + 1);
        padded.resize(width - digits->size(), u'0');
        padded.append(*digits);
        return padded;
    }

    const auto parts = split(trimBlanks(text));
    if (!parts) return text;

    // Written from the digits, rounded the same exact way as the conversions, so that no length
    // of ID loses a digit or leaves the range of any machine number.
    QString digits = parts->integerDigits.isEmpty() ? QStringLiteral("0") : parts->integerDigits.toString();
    if (roundsUp(*parts)) {
        qsizetype i = digits.size() - 1;
        while (i >= 0 && digits[i] == u'9') digits[i--] = u'0';
        if (i >= 0)
            digits[i] = QChar(digits[i].unicode() + 1);
        else
            digits.prepend(u'1');
    }
    const bool negative = parts->negative && digits != QLatin1String("0");
    if (digits.size() < kPaddedWidth) digits.prepend(QString(kPaddedWidth - digits.size(), u'0'));
    return negative ? u'-' + digits : digits;
}

bool isPlainInt32(QStringView text) {
    qsizetype i = 0;
    if (i < text.size() && text[i] == u'-') ++i;
    if (i == text.size() || text.size() - i > 10) return false;
    for (qsizetype k = i; k < text.size(); ++k)
        if (text[k] < u'0' || text[k] > u'9') return false;
    const qint64 value = text.toString().toLongLong();
    return value >= std::numeric_limits<qint32>::min() && value <= std::numeric_limits<qint32>::max();
}

}  // namespace numeric_text
