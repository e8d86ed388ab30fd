// CenterEmployeeWidget through the library's exported interface: a refused value comes back as
// false with the control's own error, never as an exception across the library's boundary.

#include <TarvoCenterEmp/centeremployeewidget.h>

#include "rules/runtime_error.h"
#include "support/canned_http_server.h"

#include <gtest/gtest.h>

namespace {

TEST(CenterEmployeeWidget, RefusedCenterIDKeepsTheOldValueAndTellsTheControlsError) {
    struct Case {
        const char* text;
        int number;  // 0: taken
        const char* description;
        const char* stored;
    };
    const Case cases[] = {
        {"abc", errors::TypeMismatch, "Type mismatch", "17"},
        {"", errors::TypeMismatch, "Type mismatch", "17"},
        {"2147483648", errors::Overflow, "Overflow", "17"},
        {" 2.5 ", 0, "", "2"},
        {"-2147483648", 0, "", "-2147483648"},
    };
    for (const Case& c : cases) {
        const QString text = QString::fromUtf8(c.text);
        CenterEmployeeWidget widget;
        ASSERT_TRUE(widget.setCenterID(QStringLiteral("17")));
        EXPECT_EQ(widget.setCenterID(text), c.number == 0) << c.text;
        EXPECT_EQ(widget.centerID(), QString::fromUtf8(c.stored)) << c.text;
        EXPECT_EQ(widget.property("centerID").toString(), widget.centerID()) << c.text;
        const CenterEmployeeWidget::Error error = widget.lastError();
        EXPECT_EQ(error.number, c.number) << c.text;
        EXPECT_EQ(error.description, QString::fromUtf8(c.description)) << c.text;
        EXPECT_EQ(error.source, c.number ? QStringLiteral("CenterID") : QString()) << c.text;
        // A refused centre loads nothing and leaves nothing to commit.
        EXPECT_FALSE(widget.hasPendingChanges()) << c.text;
        EXPECT_TRUE(widget.serverName().isEmpty()) << c.text;
    }
}

// A program that signs its user in itself: the first request already carries the credentials, so
// no dialog comes up; a name Basic sign-in cannot carry is refused.
TEST(CenterEmployeeWidget, CredentialsGivenByTheProgramGoWithTheFirstRequest) {
    CannedHttpServer server;
    server.respond(200, "<r/>");
    CenterEmployeeWidget widget;
    EXPECT_FALSE(widget.setCredentials(QStringLiteral("a:b"), QStringLiteral("pw")));
    EXPECT_EQ(widget.lastError().number, errors::TypeMismatch);
    ASSERT_TRUE(widget.setCredentials(QStringLiteral("ann"), QStringLiteral("pw")));
    ASSERT_TRUE(widget.setCenterID(QStringLiteral("1")));
    ASSERT_TRUE(widget.setServerName(server.url()));
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].authorization, QByteArray("Basic ") + QByteArray("ann:pw").toBase64());
}

}  // namespace
