#include "server/request_log.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

using namespace centeremp::server;

namespace {

struct EscapeCase {
    const char* name;
    QByteArray text;
    QByteArray logged;
    friend void PrintTo(const EscapeCase& row, std::ostream* out) { *out << row.name; }
};

class LogEscape : public testing::TestWithParam<EscapeCase> {};

TEST_P(LogEscape, KeepsEveryRequestOnOneHarmlessLine) { EXPECT_EQ(escapeForLog(GetParam().text), GetParam().logged); }

INSTANTIATE_TEST_SUITE_P(ServerLog, LogEscape,
                         testing::Values(EscapeCase{"PlainPath", "/CenterEmployee.asp", "/CenterEmployee.asp"},
                                         EscapeCase{"ForgedLine", "/x\n2026-01-01 GET / 200 1 ms",
                                                    "/x\\x0A2026-01-01 GET / 200 1 ms"},
                                         EscapeCase{"CarriageReturnAndTab", "a\rb\tc", "a\\x0Db\\x09c"},
                                         EscapeCase{"TerminalEscape", "\x1b[2J\x7f", "\\x1B[2J\\x7F"},
                                         EscapeCase{"NulByte", QByteArray("a\0b", 3), "a\\x00b"},
                                         // Written out, the backslash could fake an escape; escaped, it cannot.
                                         EscapeCase{"Backslash", "\\x0A", "\\x5Cx0A"},
                                         EscapeCase{"Utf8AndC1", "\xC3\xA9\xC2\x9B", "\\xC3\\xA9\\xC2\\x9B"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RequestLogLine, IsFieldsByNameWithWhatClientsChoseEscapedAndQuoted) {
    const QDateTime when(QDate(2026, 1, 2), QTime(3, 4, 5, 6), Qt::UTC);
    RequestLogEntry post{when, "5f3a-17", u"192.0.2.7"_qs,   "POST",  "/CenterEmployee.asp",
                         400,  12,        u"ann\nforged"_qs, u"7"_qs, u"nothing saved: field 1\nforged"_qs};
    EXPECT_EQ(requestLogLine(post),
              "time=2026-01-02T03:04:05.006Z id=5f3a-17 address=192.0.2.7 method=POST path=/CenterEmployee.asp "
              "status=400 ms=12 operator=ann\\x0Aforged centre=7 note=\"nothing saved: field 1\\x0Aforged\"\n");
    // A value cannot end its quotes early or start a field of its own.
    RequestLogEntry get{when, {}, {}, "GET", "/a b", 200, 0, u"x\" status=200"_qs, {}, {}};
    EXPECT_EQ(requestLogLine(get),
              "time=2026-01-02T03:04:05.006Z id=- address=- method=GET path=\"/a b\" status=200 "
              "ms=0 operator=\"x\\x22 status=200\"\n");
}

}  // namespace
