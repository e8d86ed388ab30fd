#include "server/form_decoding.h"

#include "test_text.h"

#include <gtest/gtest.h>

#include <ostream>

#include <string>
#include <utility>

using namespace centeremp::server;

namespace {

struct DecodeCase {
    const char* name;
    QByteArray body;
    std::vector<std::pair<QString, QString>> fields;  // when decoded
    int errorField = 0;                               // when refused: the field reported
    friend void PrintTo(const DecodeCase& row, std::ostream* out) { *out << row.name; }
};

class FormBody : public testing::TestWithParam<DecodeCase> {};

TEST_P(FormBody, DecodesOrNamesTheBadField) {
    const auto& row = GetParam();
    const auto decoded = decodeForm(row.body);
    if (row.errorField != 0) {
        const auto* error = std::get_if<FormError>(&decoded);
        ASSERT_NE(error, nullptr) << "decoded without error";
        EXPECT_EQ(error->fieldNumber, row.errorField) << error->reason.toStdString();
        return;
    }
    const auto* fields = std::get_if<std::vector<FormField>>(&decoded);
    ASSERT_NE(fields, nullptr) << std::get<FormError>(decoded).reason.toStdString();
    ASSERT_EQ(fields->size(), row.fields.size());
    for (std::size_t i = 0; i < fields->size(); ++i) {
        EXPECT_EQ((*fields)[i].name, row.fields[i].first) << "field " << i + 1;
        EXPECT_EQ((*fields)[i].value, row.fields[i].second) << "field " << i + 1;
    }
}

INSTANTIATE_TEST_SUITE_P(
    ServerForm, FormBody,
    testing::Values(DecodeCase{"PlusIsSpace", "SQL=a+b+c&", {{u"SQL"_qs, u"a b c"_qs}}},
                    DecodeCase{"EscapedPlusStaysPlus", "SQL=1%2B1", {{u"SQL"_qs, u"1+1"_qs}}},
                    DecodeCase{"HexInEitherCase", "SQL=%2C%2c%28%29", {{u"SQL"_qs, u",,()"_qs}}},
                    DecodeCase{"Latin1Range", "SQL=Jos%E9+M%FCller%FF", {{u"SQL"_qs, u"José Müllerÿ"_qs}}},
                    DecodeCase{"Windows1252Punctuation", "SQL=%80%8A%91%92%9F", {{u"SQL"_qs, u"€Š‘’Ÿ"_qs}}},
                    DecodeCase{"UndefinedBytesKeepTheirValue",
                               "SQL=%81%8D%8F%90%9D",
                               {{u"SQL"_qs, units({0x81, 0x8D, 0x8F, 0x90, 0x9D})}}},
                    DecodeCase{"UnescapedHighByte", "SQL=\xE9\x80", {{u"SQL"_qs, u"é€"_qs}}},
                    DecodeCase{"NulByte", QByteArray("SQL=a%00b"), {{u"SQL"_qs, QString(u"a\0b"_qs)}}},
                    DecodeCase{"EmptyPairsSkipped", "&&SQL=1&&SQL=2&", {{u"SQL"_qs, u"1"_qs}, {u"SQL"_qs, u"2"_qs}}},
                    DecodeCase{"EmptyValue", "SQL=&", {{u"SQL"_qs, u""_qs}}},
                    DecodeCase{"EqualsInValue", "SQL=CenterID=1", {{u"SQL"_qs, u"CenterID=1"_qs}}},
                    DecodeCase{"EscapedName", "S%51L=x", {{u"SQL"_qs, u"x"_qs}}}, DecodeCase{"EmptyBody", "", {}},
                    DecodeCase{"NonHexEscape", "SQL=%G1", {}, 1}, DecodeCase{"EscapeCutShort", "SQL=%4", {}, 1},
                    DecodeCase{"PercentAtEnd", "SQL=ok&SQL=%", {}, 2},
                    DecodeCase{"BadEscapeInName", "SQL=ok&SQL=ok&S%ZL=x&", {}, 3},
                    DecodeCase{"MissingEquals", "SQL=ok&&SQL", {}, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DecodeWindows1252, MapsEveryByteToOneCharacterOutsideTheSurrogates) {
    QByteArray all;
    for (int b = 0; b < 256; ++b) all.append(char(b));
    const QString text = decodeWindows1252(all);
    ASSERT_EQ(text.size(), 256);
    for (int b = 0; b < 256; ++b) {
        if (b < 0x80 || b > 0x9F) {
            EXPECT_EQ(text[b].unicode(), b) << "byte " << b;
        }
        EXPECT_FALSE(text[b].isSurrogate()) << "byte " << b;
    }
    // The 0x80..0x9F block: spot checks against the published code page.
    EXPECT_EQ(text[0x80].unicode(), 0x20AC);
    EXPECT_EQ(text[0x85].unicode(), 0x2026);
    EXPECT_EQ(text[0x8C].unicode(), 0x0152);
    EXPECT_EQ(text[0x93].unicode(), 0x201C);
    EXPECT_EQ(text[0x96].unicode(), 0x2013);
    EXPECT_EQ(text[0x99].unicode(), 0x2122);
    EXPECT_EQ(text[0x9E].unicode(), 0x017E);
}

}  // namespace
