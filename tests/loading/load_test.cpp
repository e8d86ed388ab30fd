#include "loading/load_cycle.h"
#include "support/canned_http_server.h"
#include "support/control_harness.h"

#include <gtest/gtest.h>
#include <QTimer>

namespace {

const std::vector<Employee> kTwo = {{QStringLiteral("7"), QStringLiteral("Ann Smith")},
                                    {QStringLiteral("42"), QStringLiteral("Bo & \"Co\"")}};
const std::vector<Employee> kThree = {{QStringLiteral("9"), QStringLiteral("Cy")},
                                      {QStringLiteral("10"), QStringLiteral("Di")},
                                      {QStringLiteral("1234567"), QStringLiteral("Ed")}};

void load(ControlHarness& h, const CannedHttpServer& server, const char* centerID = "12") {
    h.control.setCenterID(QString::fromUtf8(centerID));
    h.control.setServerName(server.url());
}

TEST(Load, FillsBothListsCountsAndProgress) {
    CannedHttpServer server;
    server.respond(200, feedDocument(kTwo, kThree));
    ControlHarness h;
    std::vector<std::pair<int, int>> progress;
    QObject::connect(&h.form().prbLoad, &ChildControl::changed,
                     [&] { progress.emplace_back(h.form().prbLoad.max(), h.form().prbLoad.value()); });
    h.form().prbLoad.setValue(99);  // so that the first value the load sets is seen
    progress.clear();
    load(h, server);

    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].target, QByteArray("/CenterEmployee.asp?centerID=12"));
    const std::vector<std::pair<int, int>> expected = {{5, 99}, {5, 0}, {5, 1}, {5, 2}, {5, 3}, {5, 4}, {5, 5}, {5, 0}};
    EXPECT_EQ(progress, expected);
    const Form& f = h.form();
    EXPECT_EQ(rowsOf(f.lstEmployees),
              (std::vector<QStringList>{{"7", "Ann Smith", "000007"}, {"42", "Bo & \"Co\"", "000042"}}));
    EXPECT_EQ(rowsOf(f.lstSelectedEmployees),
              (std::vector<QStringList>{{"9", "Cy", "000009"}, {"10", "Di", "000010"}, {"1234567", "Ed", "1234567"}}));
    EXPECT_EQ(f.lblAllVendors.caption(), QStringLiteral("Non Selected Active Employees (2):"));
    EXPECT_EQ(f.lblSelVendors.caption(), QStringLiteral("Selected Active Employees (3):"));
    EXPECT_TRUE(selectedPositions(f.lstEmployees).empty());
    EXPECT_TRUE(selectedPositions(f.lstSelectedEmployees).empty());
    EXPECT_EQ(f.lstEmployees.sortKey(), 2);
    EXPECT_EQ(f.lstSelectedEmployees.sortKey(), 2);
    for (int i : {0, 1}) {
        EXPECT_TRUE(f.optList.enabled(i));
        EXPECT_TRUE(f.optFind.enabled(i));
    }
    EXPECT_TRUE(f.txtVendorID.enabled());
    EXPECT_FALSE(f.txtVendorID.locked());
    EXPECT_EQ(f.txtVendorID.backColor(), kColorWindow);
    EXPECT_FALSE(f.cmdCommit.enabled());
    EXPECT_EQ(h.control.state().MousePointer, 0);
    EXPECT_EQ(h.ui.pointers, (std::vector<int>{11, 0}));
    EXPECT_EQ(h.control.state().FeedDocument, nullptr);
    EXPECT_EQ(h.control.state().LoadedRowCount.value(), 5);
    EXPECT_TRUE(f.lblNotice.caption().isEmpty());
    EXPECT_TRUE(h.ui.messages.empty());
}

TEST(Load, AddressCarriesTheCentreAsWritten) {
    CannedHttpServer server;
    server.respond(200, feedDocument({}, {}));
    const std::pair<const char*, const char*> cases[] = {{"-5", "/CenterEmployee.asp?centerID=-5"},
                                                         {"0", "/CenterEmployee.asp?centerID=0"}};
    for (const auto& [center, target] : cases) {
        ControlHarness h;
        load(h, server, center);
        EXPECT_EQ(server.requests().back().target, QByteArray(target));
    }
    // The control puts nothing in and takes nothing out, down to the wire: a server name that
    // ends in a slash gives a doubled one.
    ControlHarness h;
    h.control.setServerName(server.url() + u'/');
    EXPECT_EQ(server.requests().back().target, QByteArray("//CenterEmployee.asp?centerID=0"));
    EXPECT_EQ(feedAddress(QString(), -5), QStringLiteral("/CenterEmployee.asp?centerID=-5"));
}

TEST(Load, TheFetchRunsNoEventsAndTheFirstRowAddedIsCurrent) {
    CannedHttpServer server;
    server.respond(200, feedDocument({}, {{QStringLiteral("123"), QStringLiteral("Al")},
                                          {QStringLiteral("42"), QStringLiteral("Bo")},
                                          {QStringLiteral("1234567"), QStringLiteral("Cy")}}));
    ControlHarness h;
    QObject context;
    bool timerRan = false;
    QTimer::singleShot(0, &context, [&timerRan] { timerRan = true; });
    load(h, server);
    EXPECT_FALSE(timerRan);

    // With no row chosen, "<" takes the list's current row: the first one the feed gave.
    h.form().lstSelectedEmployees.operatorClickEmpty();
    h.form().cmdDelete.press();
    EXPECT_EQ(rowsOf(h.form().lstEmployees), (std::vector<QStringList>{{"123", "Al", "000123D"}}));
}

TEST(Load, EmptyCentreLoadsWithAZeroMaximum) {
    CannedHttpServer server;
    server.respond(200, feedDocument({}, {}));
    ControlHarness h;
    load(h, server);
    EXPECT_EQ(h.form().prbLoad.max(), 0);
    EXPECT_EQ(h.form().lblAllVendors.caption(), QStringLiteral("Non Selected Active Employees (0):"));
    EXPECT_TRUE(h.form().optList.enabled(0));
    EXPECT_TRUE(h.form().optFind.enabled(0));
    EXPECT_TRUE(h.form().lblNotice.caption().isEmpty());
}

TEST(Load, MoreRowsThanAnnouncedStillLoad) {
    CannedHttpServer server;
    server.respond(200, feedDocument(1, 0, kTwo, kThree));
    ControlHarness h;
    load(h, server);
    EXPECT_EQ(h.form().lstEmployees.count(), 2);
    EXPECT_EQ(h.form().lstSelectedEmployees.count(), 3);
    // The labels show what the feed announced.
    EXPECT_EQ(h.form().lblAllVendors.caption(), QStringLiteral("Non Selected Active Employees (1):"));
    EXPECT_EQ(h.form().lblSelVendors.caption(), QStringLiteral("Selected Active Employees (0):"));
    EXPECT_TRUE(h.form().lblNotice.caption().isEmpty());
}

TEST(Load, ACountWithBlanksReads) {
    CannedHttpServer server;
    server.respond(200, "<r><c><n><a> 7 </a><b>\t1</b></n></c><e/><s/></r>");
    ControlHarness h;
    load(h, server);
    EXPECT_EQ(h.form().lblAllVendors.caption(), QStringLiteral("Non Selected Active Employees (7):"));
    EXPECT_EQ(h.form().prbLoad.max(), 8);
}

struct BrokenFeed {
    const char* what;
    int status;
    QByteArray body;
    int employeesKept;
    int selectedKept;
    bool labelsChanged;
};

class BrokenLoad : public ::testing::TestWithParam<BrokenFeed> {};

TEST_P(BrokenLoad, EndsQuietlyKeepingWhatWasAddedAndSaysSo) {
    const BrokenFeed& c = GetParam();
    CannedHttpServer server;
    server.respond(c.status, c.body);
    ControlHarness h;
    // A good load first, so that a broken one is seen replacing it.
    CannedHttpServer good;
    good.respond(200, feedDocument(kTwo, kThree));
    h.control.setServerName(good.url());
    h.form().cmdCommit.setEnabled(true);
    h.ui.pointers.clear();

    h.control.setServerName(c.status ? server.url() : closedPortUrl());

    const Form& f = h.form();
    EXPECT_EQ(f.lstEmployees.count(), c.employeesKept);
    EXPECT_EQ(f.lstSelectedEmployees.count(), c.selectedKept);
    EXPECT_EQ(f.lblAllVendors.caption() != QStringLiteral("Non Selected Active Employees (2):"), c.labelsChanged);
    EXPECT_FALSE(f.cmdCommit.enabled());
    EXPECT_EQ(h.control.state().MousePointer, 0);
    EXPECT_EQ(h.ui.pointers.back(), 0);
    EXPECT_TRUE(h.ui.messages.empty());  // no modal box
    EXPECT_TRUE(f.lblNotice.caption().startsWith(QStringLiteral("The employees could not be loaded")))
        << f.lblNotice.caption().toStdString();
    EXPECT_EQ(h.control.state().FeedDocument, nullptr);  // nothing of the failed feed is held

    // The next good load clears the notice.
    h.control.setServerName(good.url());
    EXPECT_TRUE(f.lblNotice.caption().isEmpty());
    EXPECT_EQ(f.lstSelectedEmployees.count(), 3);
}

const QByteArray kMissingName =
    "<r><c><n><a>1</a><b>2</b></n></c><e><x><i>5</i><m>Eve</m></x></e><s><x><i>6</i><m>Fay</m></x><x><i>8</i></x></s></"
    "r>";

INSTANTIATE_TEST_SUITE_P(
    Table, BrokenLoad,
    ::testing::Values(
        BrokenFeed{"no server", 0, {}, 0, 0, false},
        BrokenFeed{"error page", 500, "<html><body>error</body></html>", 0, 0, false},
        BrokenFeed{"not XML", 200, "Server busy, try later", 0, 0, false},
        BrokenFeed{"empty body", 200, "", 0, 0, false},
        BrokenFeed{"no counts record", 200, "<r><c/><e/><s/></r>", 0, 0, false},
        BrokenFeed{"non-numeric count", 200, "<r><c><n><a>seven</a><b>1</b></n></c><e/><s/></r>", 0, 0, false},
        BrokenFeed{"count out of 16 bits", 200, "<r><c><n><a>40000</a><b>1</b></n></c><e/><s/></r>", 0, 0, false},
        BrokenFeed{"negative count", 200, "<r><c><n><a>-1</a><b>1</b></n></c><e/><s/></r>", 0, 0, false},
        BrokenFeed{"count sum over 32767", 200, "<r><c><n><a>20000</a><b>20000</b></n></c><e/><s/></r>", 0, 0, false},
        BrokenFeed{"no selected block", 200, "<r><c><n><a>1</a><b>0</b></n></c><e><x><i>5</i><m>Eve</m></x></e></r>", 1,
                   0, true},
        BrokenFeed{"missing name keeps the row", 200, kMissingName, 1, 2, true},
        BrokenFeed{"comment in place of an employee", 200,
                   "<r><c><n><a>1</a><b>0</b></n></c><e><x><i>5</i><m>Eve</m></x><!-- x --></e><s/></r>", 1, 0, true}),
    [](const auto& info) { return caseName(info.param.what); });

TEST(Load, SecondAssignmentReloadsAndDropsUncommittedMoves) {
    CannedHttpServer server;
    server.respond(200, feedDocument(kTwo, kThree));
    ControlHarness h;
    load(h, server);
    h.form().lstEmployees.setSubItem(h.form().lstEmployees.item(1), 2, QStringLiteral("000007D"));
    h.control.setServerName(server.url());
    EXPECT_EQ(server.requests().size(), 2u);
    EXPECT_EQ(h.form().lstEmployees.item(1)->subItem(2), QStringLiteral("000007"));
}

}  // namespace

namespace {

using Answer = CannedHttpServer::Answer;

const QByteArray kChallenge = "WWW-Authenticate: Basic realm=\"TarvoCenterEmp\", charset=\"UTF-8\"\r\n";
const Answer kUnauthorized{401, "sign in first\n", "text/plain; charset=utf-8", kChallenge};

QByteArray basic(const QString& user, const QString& password) {
    return "Basic " + (user + u':' + password).toUtf8().toBase64();
}

struct SignInLoad {
    const char* what;
    std::vector<Answer> answers;  // in turn, then the feed
    bool answerPrompt;
    bool loaded;
    int prompts;
    int requests;
    const char* notice;  // part of the notice of a failed load
};

// The operator answers a prompt with a name in another script than ASCII; Basic carries it in UTF-8.
const QString kUser = QString::fromUtf8("\xc3\x85sa");
const QString kPassword = QString::fromUtf8("p\xc3\xa4ss word");

class LoadSignIn : public ::testing::TestWithParam<SignInLoad> {};

TEST_P(LoadSignIn, TheOperatorIsAskedAndTheGetGoesAgain) {
    const SignInLoad& c = GetParam();
    CannedHttpServer server;
    server.respond(200, feedDocument(kTwo, kThree));
    server.answerInTurn(c.answers);
    ControlHarness h;
    if (c.answerPrompt) h.ui.signInAnswer = Credentials{kUser, kPassword};
    load(h, server);

    EXPECT_EQ(h.form().lstEmployees.count(), c.loaded ? 2 : 0);
    EXPECT_EQ(int(h.ui.prompts.size()), c.prompts);
    for (const auto& prompt : h.ui.prompts) {
        EXPECT_EQ(prompt.server, server.url());
        EXPECT_EQ(prompt.realm, QStringLiteral("TarvoCenterEmp"));
    }
    const auto requests = server.requests();
    ASSERT_EQ(int(requests.size()), c.requests);
    EXPECT_TRUE(requests[0].authorization.isEmpty());
    for (size_t i = 1; i < requests.size(); ++i) EXPECT_EQ(requests[i].authorization, basic(kUser, kPassword));
    const QString notice = h.form().lblNotice.caption();
    if (c.loaded)
        EXPECT_TRUE(notice.isEmpty()) << notice.toStdString();
    else
        EXPECT_TRUE(notice.contains(QString::fromUtf8(c.notice))) << notice.toStdString();
    EXPECT_FALSE(notice.contains(kPassword));
    EXPECT_EQ(h.control.state().MousePointer, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LoadSignIn,
    ::testing::Values(SignInLoad{"signed in after the challenge", {kUnauthorized}, true, true, 1, 2, nullptr},
                      SignInLoad{"refused three times",
                                 {kUnauthorized, kUnauthorized, kUnauthorized, kUnauthorized},
                                 true,
                                 false,
                                 3,
                                 4,
                                 ": the server refused the sign-in 3 times in a row."},
                      SignInLoad{
                          "prompt cancelled", {kUnauthorized}, false, false, 1, 1, ": the sign-in was cancelled."},
                      SignInLoad{"a sign-in the control does not know",
                                 {{401, "", "text/plain", "WWW-Authenticate: Bearer realm=\"api\"\r\n"}},
                                 true,
                                 false,
                                 0,
                                 1,
                                 "a kind of sign-in the control does not know"},
                      SignInLoad{"forbidden centre",
                                 {{403, "operator ann may not see centre 12\r\nmore", "text/plain", {}}},
                                 true,
                                 false,
                                 0,
                                 1,
                                 ": the server answered with status 403: operator ann may not see centre 12."},
                      SignInLoad{"unknown centre",
                                 {{404, "  unknown centre 12\x01  ", "text/plain; charset=utf-8", {}}},
                                 true,
                                 false,
                                 0,
                                 1,
                                 "status 404: unknown centre 12?."},
                      SignInLoad{"too many sign-ins",
                                 {{429, "too many failed sign-ins", "text/plain", "Retry-After: 30\r\n"}},
                                 true,
                                 false,
                                 0,
                                 1,
                                 "status 429: too many failed sign-ins; try again in 30 seconds."},
                      SignInLoad{"a reason that is not plain text is not shown",
                                 {{500, "<html>trace</html>", "text/html", {}}},
                                 true,
                                 false,
                                 0,
                                 1,
                                 "the server answered with status 500."}),
    [](const auto& info) { return caseName(info.param.what); });

// After a sign-in went through, the next load sends the credentials from its first request,
// and a refusal of them asks again, offering the name.
TEST(LoadSignIn, CredentialsThatWentThroughAreSentUnasked) {
    CannedHttpServer server;
    server.respond(200, feedDocument(kTwo, kThree));
    server.answerInTurn({kUnauthorized});
    ControlHarness h;
    h.ui.signInAnswer = Credentials{kUser, kPassword};
    load(h, server);
    load(h, server);
    ASSERT_EQ(server.requests().size(), 3u);
    EXPECT_EQ(server.requests()[2].authorization, basic(kUser, kPassword));
    EXPECT_EQ(h.ui.prompts.size(), 1u);

    server.answerInTurn({kUnauthorized});
    h.ui.signInAnswer = Credentials{QStringLiteral("bo"), QStringLiteral("new")};
    load(h, server);
    ASSERT_EQ(h.ui.prompts.size(), 2u);
    EXPECT_EQ(h.ui.prompts[1].previousUser, kUser);
    EXPECT_EQ(server.requests().back().authorization, basic(QStringLiteral("bo"), QStringLiteral("new")));
    EXPECT_EQ(h.form().lstEmployees.count(), 2);
}

}  // namespace
