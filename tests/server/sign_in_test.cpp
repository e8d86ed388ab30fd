// The parts of signing in that need no server: the Authorization header and the throttle.

#include "server/basic_credentials.h"
#include "server/sign_in_gate.h"

#include <gtest/gtest.h>

using namespace centeremp::server;
using namespace std::chrono_literals;

namespace {

TEST(BasicAuthorization, ReadsOnlyWhatBasicCanCarry) {
    const auto basic = [](const QByteArray& text) { return "Basic " + text.toBase64(); };
    const struct {
        const char* name;
        QByteArray header;
        const char* user;  // nullptr: refused
        const char* password;
    } cases[] = {
        {"Plain", basic("ann:secret"), "ann", "secret"},
        {"ColonInPassword", basic("ann:a:b"), "ann", "a:b"},
        {"EmptyPassword", basic("ann:"), "ann", ""},
        {"Utf8", basic("J\xC3\xB6rg:p\xC3\xA4ss"), "J\xC3\xB6rg", "p\xC3\xA4ss"},
        {"SchemeInAnyCase", "bAsIc " + QByteArray("ann:x").toBase64(), "ann", "x"},
        {"BlanksAround", "Basic \t " + QByteArray("ann:x").toBase64() + "  ", "ann", "x"},
        {"NoColon", basic("ann"), nullptr, nullptr},
        {"EmptyName", basic(":secret"), nullptr, nullptr},
        {"NotUtf8", basic("J\xF6rg:x"), nullptr, nullptr},
        {"ControlCharacter", basic("ann\n:x"), nullptr, nullptr},
        {"BadBase64", "Basic YW5u*OnNlY3JldA==", nullptr, nullptr},
        {"OtherScheme", "Bearer " + QByteArray("ann:x").toBase64(), nullptr, nullptr},
        {"SchemeGlued", "Basic" + QByteArray("ann:x").toBase64(), nullptr, nullptr},
        {"SchemeAlone", "Basic ", nullptr, nullptr},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const auto parsed = parseBasicAuthorization(row.header);
        ASSERT_EQ(parsed.has_value(), row.user != nullptr);
        if (!parsed) continue;
        EXPECT_EQ(parsed->name, QString::fromUtf8(row.user));
        EXPECT_EQ(parsed->password, QString::fromUtf8(row.password));
    }
}

// Five failures within a minute lock a key out for a minute, each further lock-out twice as
// long, never more than fifteen minutes; failures spread wider than the window never do.
TEST(FailureThrottle, LocksOutLongerEachTimeUpToItsCeiling) {
    FailureThrottle throttle;
    auto now = FailureThrottle::Clock::time_point{} + 1h;
    const QString key = u"name ann"_qs;
    for (int i = 0; i < 20; ++i) {
        EXPECT_FALSE(throttle.lockedFor(key, now)) << i;
        throttle.failed(key, now);
        now += 15s;  // four failures a minute: never locked
    }
    const std::chrono::seconds expected[] = {60s, 120s, 240s, 480s, 900s, 900s};
    for (const auto lockout : expected) {
        for (int i = 0; i < 5; ++i) throttle.failed(key, now);
        EXPECT_EQ(throttle.lockedFor(key, now), lockout);
        EXPECT_FALSE(throttle.lockedFor(u"name bob"_qs, now));
        now += lockout;
        EXPECT_FALSE(throttle.lockedFor(key, now));
    }
}

}  // namespace
