// What a client controls in a sign-in: the Authorization header, and when and under which names
// it fails. The header parser gives back only a name Basic can carry, and what it gives back
// encodes to a header that parses the same; the throttle never lets a key fail more often than
// its limit within a window, and its lock-outs stay within their bounds.

#include "server/basic_credentials.h"
#include "server/sign_in_gate.h"

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>

using namespace centeremp::server;

namespace {

[[noreturn]] void fail(const char* what, const QByteArray& detail = {}) {
    std::fprintf(stderr, "sign-in: %s %s\n", what, detail.left(300).constData());
    std::abort();
}

void checkHeader(const QByteArray& header) {
    const auto parsed = parseBasicAuthorization(header);
    if (!parsed) return;
    if (parsed->name.isEmpty() || parsed->name.contains(u':')) fail("a name Basic cannot carry:", header);
    for (const QString& text : {parsed->name, parsed->password}) {
        for (const QChar c : text)
            if (c.unicode() < 0x20 || c.unicode() == 0x7F) fail("a control character let through:", header);
    }
    const QByteArray again = "Basic " + (parsed->name + u':' + parsed->password).toUtf8().toBase64();
    const auto reparsed = parseBasicAuthorization(again);
    if (!reparsed || reparsed->name != parsed->name || reparsed->password != parsed->password)
        fail("credentials that do not survive their own encoding:", header);
}

// Each byte is a step of a client: which of four keys (low two bits) fails, after how many
// seconds (the rest). The model keeps the failures the throttle let through.
void checkThrottle(const QByteArray& steps) {
    const FailureThrottle::Limits limits;
    FailureThrottle throttle(limits);
    auto now = FailureThrottle::Clock::time_point{} + std::chrono::hours(1);
    std::map<int, std::deque<FailureThrottle::Clock::time_point>> accepted;
    for (const char step : steps) {
        const auto byte = static_cast<unsigned char>(step);
        const int key = byte & 3;
        now += std::chrono::seconds(byte >> 2);
        const QString name = QStringLiteral("key %1").arg(key);
        if (const auto wait = throttle.lockedFor(name, now)) {
            if (*wait <= std::chrono::seconds(0) || *wait > limits.longestLockout)
                fail("a lock-out out of bounds:", QByteArray::number(qint64(wait->count())));
            continue;
        }
        throttle.failed(name, now);
        auto& times = accepted[key];
        times.push_back(now);
        while (!times.empty() && now - times.front() >= limits.window) times.pop_front();
        if (int(times.size()) > limits.failures) fail("more failures within a window than allowed");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype newline = input.indexOf('\n');
    checkHeader(newline < 0 ? input : input.first(newline));
    if (newline >= 0) checkThrottle(input.sliced(newline + 1));
    return 0;
}
