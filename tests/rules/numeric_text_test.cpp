#include "rules/numeric_text.h"

#include <gtest/gtest.h>
#include <cctype>
#include <string>

namespace {

struct Int32Case {
    const char* text;
    std::optional<qint32> value;  // nothing: the error below
    int error;
};

class ToInt32 : public ::testing::TestWithParam<Int32Case> {};

// A test name that spells the text: signs, points and blanks in words, other bytes in hex.
std::string spelled(const char* text) {
    std::string name = *text ? "" : "empty";
    for (const char* p = text; *p; ++p) {
        const auto byte = static_cast<unsigned char>(*p);
        switch (byte) {
        case '+': name += "plus"; break;
        case '-': name += "minus"; break;
        case '.': name += "point"; break;
        case ' ': name += "blank"; break;
        case '\t': name += "tab"; break;
        default:
            if (std::isalnum(byte))
                name += char(byte);
            else
                name += 'x' + QByteArray(1, char(byte)).toHex().toStdString();
        }
    }
    return name;
}

TEST_P(ToInt32, ConvertsOrRaises) {
    const Int32Case& c = GetParam();
    if (c.value) {
        EXPECT_EQ(numeric_text::toInt32(QString::fromUtf8(c.text), QStringLiteral("t")), *c.value);
        return;
    }
    try {
        numeric_text::toInt32(QString::fromUtf8(c.text), QStringLiteral("t"));
        FAIL() << "no error for " << c.text;
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), c.error) << c.text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ToInt32,
    ::testing::Values(
        Int32Case{" 42 ", 42, 0}, Int32Case{"\t42", 42, 0}, Int32Case{"2.5", 2, 0}, Int32Case{"3.5", 4, 0},
        Int32Case{"-2.5", -2, 0}, Int32Case{"0.5", 0, 0}, Int32Case{"1.5", 2, 0}, Int32Case{"+7", 7, 0},
        Int32Case{"-5", -5, 0}, Int32Case{".5", 0, 0}, Int32Case{"7.", 7, 0}, Int32Case{"007", 7, 0},
        Int32Case{"2147483647", 2147483647, 0}, Int32Case{"-2147483648", qint32(-2147483647 - 1), 0},
        Int32Case{"2147483648", std::nullopt, errors::Overflow},
        Int32Case{"-2147483649", std::nullopt, errors::Overflow},
        Int32Case{"2147483647.5", std::nullopt, errors::Overflow},
        Int32Case{"99999999999999999999", std::nullopt, errors::Overflow},
        Int32Case{"abc", std::nullopt, errors::TypeMismatch}, Int32Case{"", std::nullopt, errors::TypeMismatch},
        Int32Case{"   ", std::nullopt, errors::TypeMismatch}, Int32Case{"4 2", std::nullopt, errors::TypeMismatch},
        Int32Case{"12abc", std::nullopt, errors::TypeMismatch}, Int32Case{"-", std::nullopt, errors::TypeMismatch},
        Int32Case{".", std::nullopt, errors::TypeMismatch}, Int32Case{"1e3", std::nullopt, errors::TypeMismatch},
        Int32Case{"\xd9\xa3", std::nullopt, errors::TypeMismatch}),  // Arabic-Indic 3
    [](const auto& info) { return spelled(info.param.text); });

// The converted value, or nothing when the conversion raised overflow.
template <typename Convert>
std::optional<qint64> valueOrOverflow(Convert convert, const std::string& text) {
    try {
        return qint64(convert());
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), errors::Overflow) << text;
        return std::nullopt;
    }
}

// Values a double cannot hold: the rounding, the range and the padded digits are decided on the
// exact decimal text, however long, halves to the even neighbour.
TEST(NumberRules, RoundTheExactDecimalValue) {
    struct Case {
        std::string text;
        std::optional<qint64> int32;  // nothing: overflow
        std::optional<qint64> int16;  // nothing: overflow
        std::string padded;
    };
    const std::string huge = "1" + std::string(400, '0');
    const Case cases[] = {
        {"2.5000000000000000001", 3, 3, "000003"},
        {"0.5000000000000000000001", 1, 1, "000001"},
        {"2147483647.49999999999", 2147483647, std::nullopt, "2147483647"},
        {"-2147483648.50000000001", std::nullopt, std::nullopt, "-2147483649"},
        {"-2147483648.5", -2147483648LL, std::nullopt, "-2147483648"},
        {"-32768.50000000000000001", -32769, std::nullopt, "-032769"},
        {"12345678901234567890.5", std::nullopt, std::nullopt, "12345678901234567890"},
        {huge + ".5", std::nullopt, std::nullopt, huge},
    };
    const QString source = QStringLiteral("t");
    for (const Case& c : cases) {
        const QString text = QString::fromStdString(c.text);
        EXPECT_EQ(valueOrOverflow([&] { return numeric_text::toInt32(text, source); }, c.text), c.int32) << c.text;
        EXPECT_EQ(valueOrOverflow([&] { return numeric_text::toInt16(text, source).value(); }, c.text), c.int16)
            << c.text;
        EXPECT_EQ(numeric_text::formatPadded(text).toStdString(), c.padded) << c.text;
    }
}

TEST(ToInt16, RangeOfTheCounters) {
    EXPECT_EQ(numeric_text::toInt16(QStringLiteral(" 7 "), QStringLiteral("t")).value(), 7);
    EXPECT_EQ(numeric_text::toInt16(QStringLiteral("32767"), QStringLiteral("t")).value(), 32767);
    EXPECT_THROW(numeric_text::toInt16(QStringLiteral("32768"), QStringLiteral("t")), RuntimeError);
    EXPECT_THROW(numeric_text::toInt16(QStringLiteral("seven"), QStringLiteral("t")), RuntimeError);
}

TEST(Int16Arithmetic, RaisesOverflowInsteadOfWrapping) {
    Int16 value = Int16::from(32766);
    ++value;
    EXPECT_EQ(value.value(), 32767);
    EXPECT_THROW(++value, RuntimeError);
    EXPECT_THROW(Int16::from(16384) + Int16::from(16384), RuntimeError);
    EXPECT_THROW(Int16::from(4) * Int16::from(8192), RuntimeError);
    EXPECT_EQ((Int16::from(4) * Int16::from(3975)).value(), 15900);
}

TEST(FormatPadded, ZeroFillsNumbersAndKeepsOtherText) {
    const std::pair<const char*, const char*> cases[] = {
        {"7", "000007"},
        {"123456", "123456"},
        {"1234567", "1234567"},
        {"42", "000042"},
        {"0", "000000"},
        {"000042", "000042"},
        {" 42 ", "000042"},
        {"-5", "-000005"},
        {"2.5", "000002"},
        {"abc", "abc"},
        {"", ""},
        {"12a", "12a"},
        {"12345678901234567890", "12345678901234567890"},
        {"000123N", "000123N"},
    };
    for (const auto& [text, padded] : cases)
        EXPECT_EQ(numeric_text::formatPadded(QString::fromUtf8(text)), QString::fromUtf8(padded)) << text;
}

TEST(IsNumeric, MarkedAndEmptyColumnsAreNotNumbers) {
    const std::pair<const char*, bool> cases[] = {
        {"000123", true}, {"000123N", false}, {"000042D", false}, {"", false},
        {" 12 ", true},   {"-7", true},       {"N", false},       {"1.5", true},
    };
    for (const auto& [text, numeric] : cases)
        EXPECT_EQ(numeric_text::isNumeric(QString::fromUtf8(text)), numeric) << text;
}

TEST(IsPlainInt32, OnlyDigitsWithAnOptionalMinus) {
    const std::pair<const char*, bool> cases[] = {
        {"7", true},
        {"-7", true},
        {"2147483647", true},
        {"2147483648", false},
        {"-2147483649", false},
        {"+7", false},
        {" 7", false},
        {"7 ", false},
        {"1.0", false},
        {"", false},
        {"-", false},
        {"7);DROP", false},
        {"0x10", false},
        {"00000000000000000001", false},
    };
    for (const auto& [text, plain] : cases)
        EXPECT_EQ(numeric_text::isPlainInt32(QString::fromUtf8(text)), plain) << text;
}

}  // namespace
