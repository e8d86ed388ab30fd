#include "host/script_words.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

namespace {

// A line, and the words it splits into or why it is refused.
struct Split {
    const char* line;
    QStringList words;
    const char* error = "";
};

TEST(ScriptWords, QuotesAndEscapesSplitOrRefuseTheLine) {
    const Split cases[] = {
        {"  click\tlstEmployees   2 ctrl\t", {"click", "lstEmployees", "2", "ctrl"}},
        {"", {}},
        {" \t ", {}},
        {R"(type txtVendorName "Ann  Smith")", {"type", "txtVendorName", "Ann  Smith"}},
        {R"(type txtVendorName "")", {"type", "txtVendorName", ""}},
        {R"("a" "b")", {"a", "b"}},
        {R"("say \"hi\"" "back\\slash")", {"say \"hi\"", "back\\slash"}},
        {R"("\n\r\t")", {"\n\r\t"}},
        {R"("\u00e9\u20AC\u0041")",
         {"\xc3\xa9\xe2\x82\xac"
          "A"}},
        {R"("\ud83d\ude00")", {"\xf0\x9f\x98\x80"}},   // two 16-bit units make one character
        {R"(ab"c d\n e")", {"ab\"c", "d\\n", "e\""}},  // quotes and backslashes inside plain words are text
        {R"(type x "open)", {}, "a quoted word is not closed"},
        {R"(type x "ends in \)", {}, "a quoted word is not closed"},
        {R"("a"b)", {}, "a closing quote must end its word"},
        {R"("a""b")", {}, "a closing quote must end its word"},
        {R"("\q")", {}, "unknown escape \\q"},
        {R"("\u12")", {}, "\\u needs four hexadecimal digits"},
        {R"("\u12g4")", {}, "\\u needs four hexadecimal digits"},
        {R"("\u)", {}, "\\u needs four hexadecimal digits"},
    };
    for (const Split& c : cases) {
        const ScriptWords split = splitScriptLine(QString::fromUtf8(c.line));
        EXPECT_EQ(split.error, QString::fromUtf8(c.error)) << c.line;
        if (split.error.isEmpty()) {
            EXPECT_EQ(split.words, c.words) << c.line;
        }
    }
}

}  // namespace
