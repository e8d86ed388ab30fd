#include "platform/numeric_text.h"

#include <algorithm>
#include <cmath>
#include <limits>

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
    QStringView integerDigits;
    QStringView fractionDigits;
};

// Splits a trimmed text into sign, integer digits and fraction digits, or fails.
std::optional<Parts> split(QStringView text) {
    Parts parts;
    qsizetype i = 0;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        parts.negative = text[i] == u'-';
        ++i;
    }
    const qsizetype intBegin = i;
    while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128) ++i;
    parts.integerDigits = text.mid(intBegin, i - intBegin);
    if (i < text.size() && text[i] == u'.') {
        ++i;
        const qsizetype fracBegin = i;
        while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128) ++i;
        parts.fractionDigits = text.mid(fracBegin, i - fracBegin);
    }
    if (i != text.size()) return std::nullopt;
    if (parts.integerDigits.isEmpty() && parts.fractionDigits.isEmpty()) return std::nullopt;
    return parts;
}

}  // namespace

std::optional<double> parse(QStringView text) {
    const QStringView trimmed = trimBlanks(text);
    if (!split(trimmed)) return std::nullopt;
    bool ok = false;
    const double value = trimmed.toString().toDouble(&ok);
    if (!ok && !trimmed.endsWith(u'.')) return std::nullopt;
    if (!ok) return trimmed.chopped(1).toString().toDouble();
    return value;
}

bool isNumeric(QStringView text) { return split(trimBlanks(text)).has_value(); }

qint32 toInt32(QStringView text, const QString& source) {
    const auto value = parse(text);
    if (!value) throw errors::typeMismatch(source);
    const double rounded = std::nearbyint(*value);  // default rounding: halves to even
    if (rounded < std::numeric_limits<qint32>::min() || rounded > std::numeric_limits<qint32>::max())
        throw errors::overflow(source);
    return static_cast<qint32>(rounded);
}

Int16 toInt16(QStringView text, const QString& source) {
    const auto value = parse(text);
    if (!value) throw errors::typeMismatch(source);
    const double rounded = std::nearbyint(*value);
    if (rounded < std::numeric_limits<qint16>::min() || rounded > std::numeric_limits<qint16>::max())
        throw errors::overflow(source);
    return Int16::from(static_cast<qint64>(rounded));
}

QString formatPadded(const QString& text) {
    // The usual ID is plain digits: write it with one allocation at most (none when it has six
    // digits or more), with room for a change letter to follow.
    const qsizetype size = text.size();
    const QChar* chars = text.constData();
    if (size > 0 && std::all_of(chars, chars + size, [](QChar c) { return c >= u'0' && c <= u'9'; })) {
        qsizetype lead = 0;
        while (lead < size - 1 && chars[lead] == u'0') ++lead;
        const qsizetype digits = size - lead;
        if (lead == 0 && digits >= 6) return text;
        const qsizetype width = std::max<qsizetype>(6, digits);
        QString padded;
        padded.reserve(width + 1);
        padded.resize(width - digits, u'0');
        padded.append(chars + lead, digits);
        return padded;
    }

    const QStringView trimmed = trimBlanks(text);
    const auto parts = split(trimmed);
    if (!parts) return text;

    QString digits;
    bool negative = parts->negative;
    if (parts->fractionDigits.isEmpty()) {
        // Whole numbers are written from their digits, so that no length of ID loses a digit.
        QStringView d = parts->integerDigits;
        while (d.size() > 1 && d.front() == u'0') d = d.mid(1);
        digits = d.toString();
    } else {
        const double rounded = std::nearbyint(std::fabs(*parse(trimmed)));
        digits = QString::number(rounded, 'f', 0);
    }
    if (digits.isEmpty() || digits == QLatin1String("0")) {
        digits = QStringLiteral("0");
        negative = false;
    }
    if (digits.size() < 6) digits = QString(6 - digits.size(), u'0') + digits;
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
