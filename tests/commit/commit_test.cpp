#include "commit/commit.h"
#include "support/canned_http_server.h"
#include "support/control_harness.h"

#include <gtest/gtest.h>
#include <QTimer>

namespace {

const QString kReplyTitle = QStringLiteral("Center Employee Cross Reference");

// Employee 7 moved out (pending DELETE), employee 345 moved in (pending INSERT).
struct Pending : ControlHarness {
    explicit Pending(const QString& server) {
        control.setCenterID(QStringLiteral("12"));
        control.state().ServerName = server;
        fillList(form().lstEmployees, {{"7", "Ann"}, {"5", "Bob"}});
        fillList(form().lstSelectedEmployees, {{"345", "Cy"}, {"88", "Di"}});
        form().lstEmployees.setSubItem(form().lstEmployees.findItem(QStringLiteral("7")), 2, QStringLiteral("000007D"));
        form().lstSelectedEmployees.setSubItem(form().lstSelectedEmployees.findItem(QStringLiteral("345")), 2,
                                               QStringLiteral("000345N"));
        form().cmdCommit.setEnabled(true);
    }
};

TEST(SaveToDatabase, PostsTheBatchWithItsHeader) {
    CannedHttpServer server;
    server.respond(200, "OK", "text/plain");
    Pending h(server.url());
    const CommitOutcome outcome = SaveToDatabase(h.control);
    EXPECT_TRUE(outcome.delivered);
    ASSERT_EQ(server.requests().size(), 1u);
    const auto request = server.requests()[0];
    EXPECT_EQ(request.method, QByteArray("POST"));
    EXPECT_EQ(request.target, QByteArray("/CenterEmployee.asp"));
    EXPECT_TRUE(request.headers.contains("Content-Type: application/x-www-form-urlencoded"));
    EXPECT_EQ(request.body,
              QByteArray("SQL=INSERT+INTO+CenterEmployeeCrossReference+%28CenterID%2CEmployeeID%2CRecordLastUpdated%29+"
                         "VALUES+%2812%2C345%2CGETDATE%28%29%29+&SQL=DELETE+FROM+CenterEmployeeCrossReference+WHERE+"
                         "CenterID%3D12+AND+EmployeeID+IN%287%29&"));
    EXPECT_EQ(h.ui.pointers, (std::vector<int>{11, 0}));
    // Called directly, the markers stay: a second call would send the same batch.
    EXPECT_EQ(h.form().lstEmployees.findItem(QStringLiteral("7"))->subItem(2), QStringLiteral("000007D"));
}

TEST(SaveToDatabase, ShowsTheServersReplyWhenItHoldsMoreThanSpaces) {
    const QString longReply = QString(1500, u'a') + QString(1500, u'b') + u'!';
    const std::pair<QString, bool> cases[] = {
        {QStringLiteral("OK"), true},
        {QString(), false},
        {QStringLiteral("   "), false},
        {QStringLiteral("\n\t"), true},
        {QStringLiteral("  OK  "), true},
        {longReply, true},
        {QString::fromUtf8("Saved: 1 assigned, 1 removed. \xc3\xa9"), true},
    };
    for (const auto& [reply, shown] : cases) {
        CannedHttpServer server;
        server.respond(200, reply.toUtf8(), "text/plain; charset=utf-8");
        Pending h(server.url());
        SaveToDatabase(h.control);
        ASSERT_EQ(h.ui.messages.size(), shown ? 1u : 0u) << reply.toStdString();
        if (!shown) continue;
        EXPECT_EQ(h.ui.messages[0].text, reply);
        EXPECT_EQ(h.ui.messages[0].style, 64);
        EXPECT_EQ(h.ui.messages[0].title, kReplyTitle);
    }
}

TEST(SaveToDatabase, WhileTheServerWorksTheListsTakeNoMoves) {
    CannedHttpServer server;
    server.respond(200, "Saved", "text/plain");
    server.deliver(CannedHttpServer::Delivery::Drip, std::chrono::milliseconds(100));
    Pending h(server.url());
    const auto employees = rowsOf(h.form().lstEmployees);
    const auto selected = rowsOf(h.form().lstSelectedEmployees);
    QString noticeDuringWait;
    bool moveOffered = true;
    QObject context;
    QTimer::singleShot(50, &context, [&] {
        noticeDuringWait = h.form().lblNotice.caption();
        h.form().lstEmployees.operatorDoubleClick(1);
        h.form().lstSelectedEmployees.operatorClick(1, ClickModifier::None);
        moveOffered = h.form().cmdDelete.enabled();
        h.form().cmdDelete.press();
        h.form().mnuRemove.items().front().onClick();
    });
    EXPECT_TRUE(SaveToDatabase(h.control).delivered);
    EXPECT_EQ(noticeDuringWait, QStringLiteral("Saving\u2026"));
    EXPECT_FALSE(moveOffered);
    EXPECT_EQ(rowsOf(h.form().lstEmployees), employees);
    EXPECT_EQ(rowsOf(h.form().lstSelectedEmployees), selected);
    EXPECT_TRUE(h.form().lblNotice.caption().isEmpty());
    EXPECT_FALSE(h.control.state().CommitWaiting);
}

TEST(SaveToDatabase, NothingPendingSendsNothing) {
    CannedHttpServer server;
    ControlHarness h;
    h.control.state().ServerName = server.url();
    fillList(h.form().lstEmployees, {{"7", "Ann"}});
    EXPECT_TRUE(SaveToDatabase(h.control).delivered);
    EXPECT_TRUE(server.requests().empty());
    EXPECT_TRUE(h.ui.messages.empty());
    EXPECT_EQ(h.control.state().MousePointer, 0);
}

struct FailedCommit {
    const char* what;
    int status;  // 0: nothing listens
    QByteArray reply;
    bool badId;
    std::vector<std::pair<QString, int>> messages;  // text start and style
    CannedHttpServer::Delivery delivery = CannedHttpServer::Delivery::Whole;
};

class CommitButtonFailure : public ::testing::TestWithParam<FailedCommit> {};

TEST_P(CommitButtonFailure, KeepsTheMovesAndOffersARetry) {
    const FailedCommit& c = GetParam();
    CannedHttpServer server;
    server.respond(c.status, c.reply, "text/plain");
    server.deliver(c.delivery);
    Pending h(c.status ? server.url() : closedPortUrl());
    if (c.badId) {
        ListRow* row = h.form().lstSelectedEmployees.add(QStringLiteral("9 OR 1=1"));
        h.form().lstSelectedEmployees.setSubItem(row, 2, QStringLiteral("9 OR 1=1N"));
    }
    const auto employees = rowsOf(h.form().lstEmployees);
    const auto selected = rowsOf(h.form().lstSelectedEmployees);
    h.form().prbLoad.setValue(3);

    h.form().cmdCommit.press();

    EXPECT_EQ(rowsOf(h.form().lstEmployees), employees);
    EXPECT_EQ(rowsOf(h.form().lstSelectedEmployees), selected);
    EXPECT_TRUE(h.form().cmdCommit.enabled());
    EXPECT_FALSE(h.form().cmdAdd.enabled());
    EXPECT_EQ(h.form().prbLoad.value(), 0);
    EXPECT_EQ(h.control.state().MousePointer, 0);
    EXPECT_TRUE(h.form().lblNotice.caption().startsWith(QStringLiteral("The changes were not saved")));
    ASSERT_EQ(h.ui.messages.size(), c.messages.size());
    for (size_t i = 0; i < c.messages.size(); ++i) {
        EXPECT_TRUE(h.ui.messages[i].text.startsWith(c.messages[i].first)) << h.ui.messages[i].text.toStdString();
        EXPECT_EQ(h.ui.messages[i].style, c.messages[i].second);
    }
    if (c.badId) {
        EXPECT_TRUE(server.requests().empty());
    }
    // Nothing was reloaded over the moves: at most the one POST reached the server.
    EXPECT_LE(server.requests().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CommitButtonFailure,
    ::testing::Values(
        FailedCommit{"server unreachable", 0, {}, false, {{QStringLiteral("Error During saving to Database"), 0}}},
        FailedCommit{"server refuses",
                     400,
                     "field 1: not an accepted statement",
                     false,
                     {{QStringLiteral("field 1: not an accepted statement"), 64}}},
        FailedCommit{"server fails", 500, "", false, {}},
        FailedCommit{"reply cut short",
                     200,
                     "Saved: 2 assigned, 1 removed.",
                     false,
                     {{QStringLiteral("Error During saving to Database"), 0}},
                     CannedHttpServer::Delivery::CutShort},
        FailedCommit{"invalid employee id", 200, "OK", true, {{QStringLiteral("Nothing was saved"), 16}}}),
    [](const auto& info) { return caseName(info.param.what); });

TEST(CommitButton, TooManyStatementsSendNothing) {
    CannedHttpServer server;
    Pending h(server.url());
    ReportList& selected = h.form().lstSelectedEmployees;
    for (int i = 0; i < 32767; ++i) {
        ListRow* row = selected.add(QString::number(100000 + i));
        selected.setSubItem(row, 2, QStringLiteral("N"));
    }
    h.form().cmdCommit.press();
    EXPECT_TRUE(server.requests().empty());
    ASSERT_EQ(h.ui.messages.size(), 1u);
    EXPECT_EQ(h.ui.messages[0].text, QStringLiteral("Error Occoured"));
    EXPECT_EQ(h.ui.messages[0].style, 16);
    EXPECT_EQ(h.ui.messages[0].title, QStringLiteral("Information"));
    EXPECT_TRUE(h.form().cmdCommit.enabled());
}

}  // namespace

namespace {

using Answer = CannedHttpServer::Answer;

const Answer kUnauthorized{401, "sign in first", "text/plain",
                           "WWW-Authenticate: Basic realm=\"TarvoCenterEmp\", charset=\"UTF-8\"\r\n"};

struct SignInCommit {
    const char* what;
    std::vector<Answer> answers;  // in turn, then "Saved"
    bool answerPrompt;
    bool delivered;
    int posts;
    const char* notice;  // part of the notice of a failed commit
};

class CommitSignIn : public ::testing::TestWithParam<SignInCommit> {};

// A 401 applied nothing: only then does the same batch go again, once for each sign-in given.
TEST_P(CommitSignIn, TheBatchGoesAgainOnlyAfterA401) {
    const SignInCommit& c = GetParam();
    CannedHttpServer server;
    server.respond(200, "Saved", "text/plain");
    server.answerInTurn(c.answers);
    Pending h(server.url());
    if (c.answerPrompt) h.ui.signInAnswer = Credentials{QStringLiteral("ann"), QStringLiteral("pw")};

    h.form().cmdCommit.press();

    std::vector<CannedHttpServer::Request> requests;  // the POSTs, without the reload after them
    for (const auto& request : server.requests())
        if (request.method == "POST") requests.push_back(request);
    ASSERT_EQ(int(requests.size()), c.posts);
    for (const auto& request : requests) EXPECT_EQ(request.body, requests[0].body);
    EXPECT_TRUE(requests[0].authorization.isEmpty());
    for (size_t i = 1; i < requests.size(); ++i)
        EXPECT_EQ(requests[i].authorization, QByteArray("Basic ") + QByteArray("ann:pw").toBase64());
    const QString notice = h.form().lblNotice.caption();
    if (c.delivered) {
        // Delivered: the reload that follows went out with the credentials as well.
        EXPECT_EQ(server.requests().back().method, QByteArray("GET"));
        EXPECT_EQ(server.requests().back().authorization, requests.back().authorization);
        EXPECT_FALSE(h.form().cmdCommit.enabled());
        ASSERT_EQ(h.ui.messages.size(), 1u);
        EXPECT_EQ(h.ui.messages[0].text, QStringLiteral("Saved"));
        return;
    }
    EXPECT_TRUE(h.form().cmdCommit.enabled());
    EXPECT_TRUE(notice.startsWith(QStringLiteral("The changes were not saved"))) << notice.toStdString();
    EXPECT_TRUE(notice.contains(QString::fromUtf8(c.notice))) << notice.toStdString();
    EXPECT_EQ(h.form().lstSelectedEmployees.findItem(QStringLiteral("345"))->subItem(2), QStringLiteral("000345N"));
}

INSTANTIATE_TEST_SUITE_P(
    Table, CommitSignIn,
    ::testing::Values(SignInCommit{"signed in after the challenge", {kUnauthorized}, true, true, 2, nullptr},
                      SignInCommit{"refused three times",
                                   {kUnauthorized, kUnauthorized, kUnauthorized, kUnauthorized},
                                   true,
                                   false,
                                   4,
                                   "(the server refused the sign-in 3 times in a row)"},
                      SignInCommit{"prompt cancelled", {kUnauthorized}, false, false, 1, "(the sign-in was cancelled)"},
                      SignInCommit{"forbidden centre",
                                   {{403, "operator ann may not change centre 12\n", "text/plain", {}}},
                                   true,
                                   false,
                                   1,
                                   "(the server refused the changes (status 403: operator ann may not change centre "
                                   "12))"}),
    [](const auto& info) { return caseName(info.param.what); });

}  // namespace
