// The number rules against a slow reference that is plainly right: the text is read as digit
// strings and rounded with decimal string arithmetic, so that no machine number can overflow or
// round on the way. Any difference aborts.

#include "rules/numeric_text.h"
#include "rules/runtime_error.h"

#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

struct Number {
    bool negative = false;
    std::string magnitude;  // the rounded magnitude, decimal digits without leading zeros ("0" for zero)
};

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

std::string withoutLeadingZeros(const std::string& digits) {
    const size_t first = digits.find_first_not_of('0');
    return first == std::string::npos ? "0" : digits.substr(first);
}

// a + b for decimal digit strings.
std::string add(const std::string& a, const std::string& b) {
    std::string sum;
    int carry = 0;
    for (size_t i = 0; i < std::max(a.size(), b.size()) || carry; ++i) {
        const int da = i < a.size() ? a[a.size() - 1 - i] - '0' : 0;
        const int db = i < b.size() ? b[b.size() - 1 - i] - '0' : 0;
        const int d = da + db + carry;
        sum.insert(sum.begin(), char('0' + d % 10));
        carry = d / 10;
    }
    return withoutLeadingZeros(sum);
}

// Compares two digit strings without leading zeros as numbers.
int compare(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return a.compare(b) < 0 ? -1 : (a.compare(b) > 0 ? 1 : 0);
}

// A decimal with an optional sign and fraction, blanks (space, tab) around it; nothing else.
std::optional<Number> reference(const std::u16string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && (text[begin] == u' ' || text[begin] == u'\t')) ++begin;
    while (end > begin && (text[end - 1] == u' ' || text[end - 1] == u'\t')) --end;
    size_t i = begin;
    Number number;
    if (i < end && (text[i] == u'+' || text[i] == u'-')) number.negative = text[i++] == u'-';
    std::string whole, fraction;
    while (i < end && isDigit(text[i])) whole += char(text[i++]);
    if (i < end && text[i] == u'.') {
        ++i;
        while (i < end && isDigit(text[i])) fraction += char(text[i++]);
    }
    if (i != end || (whole.empty() && fraction.empty())) return std::nullopt;

    // The fraction against one half, both written to the same number of digits.
    const size_t width = std::max<size_t>(fraction.size(), 1);
    const std::string half = "5" + std::string(width - 1, '0');
    const std::string padded = fraction + std::string(width - fraction.size(), '0');
    const int againstHalf = padded.compare(half);
    const std::string floor = withoutLeadingZeros(whole);
    const bool odd = (floor.back() - '0') % 2 == 1;
    number.magnitude = againstHalf > 0 || (againstHalf == 0 && odd) ? add(floor, "1") : floor;
    if (number.magnitude == "0") number.negative = false;
    return number;
}

// The integer the rule gives within [-limit - 1, limit], or nothing for overflow.
std::optional<long long> inRange(const Number& number, const std::string& limit) {
    const std::string bound = number.negative ? add(limit, "1") : limit;
    if (compare(number.magnitude, bound) > 0) return std::nullopt;
    const long long magnitude = std::stoll(number.magnitude);
    return number.negative ? -magnitude : magnitude;
}

std::string padded(const Number& number) {
    std::string digits = number.magnitude;
    if (digits.size() < 6) digits.insert(0, 6 - digits.size(), '0');
    return number.negative ? "-" + digits : digits;
}

bool referencePlainInt32(const std::u16string& text) {
    size_t i = 0;
    if (i < text.size() && text[i] == u'-') ++i;
    const size_t digits = text.size() - i;
    if (digits == 0 || digits > 10) return false;
    for (size_t k = i; k < text.size(); ++k)
        if (!isDigit(text[k])) return false;
    const std::string magnitude = withoutLeadingZeros(std::string(text.begin() + long(i), text.end()));
    return compare(magnitude, i == 1 ? "2147483648" : "2147483647") <= 0;
}

[[noreturn]] void mismatch(const char* what, const QString& text) {
    std::fprintf(stderr, "number rules differ from the reference in %s for \"%s\"\n", what, qPrintable(text));
    std::abort();
}

// What a conversion gives: a value, or the number of the error it raised.
template <typename Convert>
std::pair<std::optional<long long>, int> outcome(Convert convert) {
    try {
        return {convert(), 0};
    } catch (const RuntimeError& e) {
        return {std::nullopt, e.number()};
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::u16string units(reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size()));
    const std::optional<Number> expected = reference(units);
    const QString source = QStringLiteral("fuzz");

    if (numeric_text::isNumeric(text) != expected.has_value()) mismatch("isNumeric", text);
    if (numeric_text::isPlainInt32(text) != referencePlainInt32(units)) mismatch("isPlainInt32", text);

    const auto int32 = outcome([&] { return (long long)numeric_text::toInt32(text, source); });
    const auto int16 = outcome([&] { return (long long)numeric_text::toInt16(text, source).value(); });
    if (!expected) {
        if (int32.second != errors::TypeMismatch) mismatch("toInt32 of a non-number", text);
        if (int16.second != errors::TypeMismatch) mismatch("toInt16 of a non-number", text);
        if (numeric_text::formatPadded(text) != text) mismatch("formatPadded of a non-number", text);
        return 0;
    }
    const auto expected32 = inRange(*expected, "2147483647");
    const auto expected16 = inRange(*expected, "32767");
    if (int32.first != expected32 || (!expected32 && int32.second != errors::Overflow)) mismatch("toInt32", text);
    if (int16.first != expected16 || (!expected16 && int16.second != errors::Overflow)) mismatch("toInt16", text);
    if (numeric_text::formatPadded(text).toStdString() != padded(*expected)) mismatch("formatPadded", text);
    return 0;
}
