// Which connections the watch cuts, on a clock of its own: slow senders at their deadlines, and
// the ones that have sent least when connections run short, never one being answered.

#include "server/connection_watch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>
#include <vector>

using namespace centeremp::server;
using namespace std::chrono_literals;

namespace {

class Watch : public testing::Test {
protected:
    using Clock = ConnectionWatch::Clock;
    ConnectionWatch& make(WatchLimits limits) {
        watch_ = std::make_unique<ConnectionWatch>(limits, [this](int socket) { cut.insert(socket); });
        return *watch_;
    }
    const Clock::time_point start = Clock::now();
    std::set<int> cut;
    std::unique_ptr<ConnectionWatch> watch_;
};

TEST_F(Watch, CutsSlowSendersAndReadersAtTheirDeadlinesButNotARequestBeingAnswered) {
    ConnectionWatch& watch = make({});  // 10 s idle, 10 s head, 16 KiB every 10 s
    auto* idle = watch.opened(1, u"a"_qs, start);
    auto* head = watch.opened(2, u"a"_qs, start);
    watch.requestLineRead(head, start + 1s);
    auto* slowBody = watch.opened(3, u"a"_qs, start);
    watch.headRead(slowBody, start);
    auto* steadyBody = watch.opened(4, u"a"_qs, start);
    watch.headRead(steadyBody, start);
    auto* answered = watch.opened(5, u"a"_qs, start);
    watch.headRead(answered, start);
    watch.answering(answered);
    auto* slowReader = watch.opened(6, u"a"_qs, start);
    watch.replying(slowReader, start);

    watch.transferred(slowBody, 16 * 1024 - 1);
    watch.transferred(steadyBody, 16 * 1024);
    watch.transferred(slowReader, 16 * 1024 - 1);
    EXPECT_EQ(watch.sweep(start + 10s), 2);
    EXPECT_EQ(cut, (std::set<int>{3, 6}));  // the slow body and reader at the end of their first window
    EXPECT_EQ(watch.sweep(start + 11s + 1ms), 1);
    EXPECT_EQ(cut, (std::set<int>{2, 3, 6}));  // the head 10 s after its request line
    watch.transferred(steadyBody, 1);          // too little in its second window
    EXPECT_EQ(watch.sweep(start + 20s + 1ms), 2);
    EXPECT_EQ(cut, (std::set<int>{1, 2, 3, 4, 6}));  // and the idle one after 10 s idle and 10 s head
    EXPECT_EQ(watch.sweep(start + 1h), 0);
    EXPECT_EQ(watch.live(), 1u);
    // What the log is told, each reason once, the most cut first.
    using Reason = ConnectionWatch::Reason;
    std::vector<std::pair<Reason, int>> told;
    for (const auto& cuts : watch.takeCuts()) {
        EXPECT_EQ(cuts.address, u"a"_qs);
        told.emplace_back(cuts.reason, cuts.count);
    }
    ASSERT_FALSE(told.empty());
    EXPECT_EQ(told.front(), std::pair(Reason::SlowBody, 2));
    std::sort(told.begin(), told.end());
    EXPECT_EQ(told, (std::vector<std::pair<Reason, int>>{
                        {Reason::Idle, 1}, {Reason::SlowHead, 1}, {Reason::SlowBody, 2}, {Reason::SlowReader, 1}}));
    EXPECT_TRUE(watch.takeCuts().empty());
    for (auto* connection : {idle, head, slowBody, steadyBody, answered, slowReader}) watch.closed(connection);
    EXPECT_EQ(watch.live(), 0u);
}

// Fifty connections allowed, so room is made in steps of one.
TEST_F(Watch, MakesRoomByCuttingWhatHasSentLeastOfAnUnfinishedRequest) {
    ConnectionWatch& watch = make({.connections = 50, .perAddress = 0});
    std::vector<ConnectionWatch::Connection*> open;
    for (int socket = 0; socket < 10; ++socket) {  // being answered: never cut
        open.push_back(watch.opened(socket, u"a"_qs, start));
        watch.answering(open.back());
    }
    for (int socket = 10; socket < 20; ++socket) {  // bodies, the fewer bytes the earlier they go
        open.push_back(watch.opened(socket, u"b"_qs, start));
        watch.headRead(open.back(), start);
        watch.transferred(open.back(), 1000 - socket);
    }
    for (int socket = 20; socket < 30; ++socket) {  // heads, the oldest first
        open.push_back(watch.opened(socket, u"c"_qs, start));
        watch.requestLineRead(open.back(), start + std::chrono::seconds(30 - socket));
    }
    for (int socket = 30; socket < 49; ++socket)  // idle, the oldest first
        open.push_back(watch.opened(socket, u"d"_qs, start + std::chrono::seconds(socket)));
    EXPECT_TRUE(cut.empty());

    std::vector<int> order;
    for (int socket = 100; socket < 150; ++socket) {
        const std::size_t before = cut.size();
        open.push_back(watch.opened(socket, u"e"_qs, start + 100s));
        watch.answering(open.back());  // the newcomers are served at once
        for (int c : cut)
            if (std::find(order.begin(), order.end(), c) == order.end()) order.push_back(c);
        EXPECT_LE(cut.size(), before + 1);
    }
    std::vector<int> expected;
    for (int socket = 30; socket < 49; ++socket) expected.push_back(socket);
    for (int socket = 29; socket >= 20; --socket) expected.push_back(socket);
    for (int socket = 19; socket >= 10; --socket) expected.push_back(socket);
    EXPECT_EQ(order, expected);
    EXPECT_EQ(watch.live(), 60u);  // all being answered: the last eleven found nothing to cut
    for (auto* connection : open) watch.closed(connection);
}

// Many operators behind one address share its limit with a flood from it: the flood goes first,
// and other addresses are not touched.
TEST_F(Watch, LimitsAnAddressByCuttingItsOwnSlowestConnections) {
    ConnectionWatch& watch = make({.connections = 1000, .perAddress = 100});  // steps of two
    std::vector<ConnectionWatch::Connection*> open;
    auto* neighbour = watch.opened(1, u"b"_qs, start);
    watch.requestLineRead(neighbour, start);
    for (int socket = 10; socket < 108; ++socket) {
        open.push_back(watch.opened(socket, u"a"_qs, start));
        watch.requestLineRead(open.back(), start + std::chrono::milliseconds(socket));
    }
    EXPECT_TRUE(cut.empty());
    auto* operatorRequest = watch.opened(2, u"a"_qs, start + 1s);
    EXPECT_EQ(cut, (std::set<int>{10, 11}));
    watch.headRead(operatorRequest, start + 1s);
    watch.answering(operatorRequest);
    watch.closed(operatorRequest);
    watch.closed(neighbour);
    for (auto* connection : open) watch.closed(connection);
    EXPECT_EQ(watch.live(), 0u);
}

}  // namespace
