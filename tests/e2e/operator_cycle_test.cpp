#include "host/component_loader.h"
#include "host/unsaved_moves.h"
#include "host_run.h"
#include "server/server_test_support.h"
#include "support/canned_http_server.h"
#include "support/test_certificates.h"

#include <gtest/gtest.h>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

namespace {

using namespace centeremp::servertest;
using Backend = LiveServer::Backend;

QJsonObject list(const QJsonObject& dump, const char* name) {
    return dump[QStringLiteral("lists")].toObject()[QString::fromUtf8(name)].toObject();
}

// The rows of a list as "ID:third column" texts.
QStringList rows(const QJsonObject& dump, const char* name) {
    QStringList out;
    for (const QJsonValue& row : list(dump, name)[QStringLiteral("rows")].toArray())
        out << row.toArray()[0].toString() + u':' + row.toArray()[2].toString();
    return out;
}

class OperatorCycle : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        ensureApplication();
        if (!LiveServer::available(GetParam())) GTEST_SKIP() << "backend not available here";
        ASSERT_TRUE(server.start(GetParam()));
        server.db().addEmployees({{1, QStringLiteral("Ann Smith"), true},
                                  {2, QStringLiteral("Bob Jones"), true},
                                  {3, QStringLiteral("Cy Young"), true},
                                  {4, QStringLiteral("Di Prince"), true},
                                  {5, QStringLiteral("Ed Wood"), true},
                                  {6, QStringLiteral("Fay Gone"), false},
                                  {10, QStringLiteral("Jo March"), true}});
        server.db().assign(3, {2, 4, 6}, QDateTime::currentDateTimeUtc());
        server.db().assign(7, {1}, QDateTime::currentDateTimeUtc());
    }
    LiveServer server;
};

TEST_P(OperatorCycle, LoadShowsActiveEmployeesOfTheCentre) {
    const HostRun run = runHost(QStringLiteral("3"), server.process().url(), QStringLiteral("dump\n"));
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    ASSERT_EQ(run.dumps.size(), 1u);
    const QJsonObject& d = run.dumps[0];
    EXPECT_EQ(rows(d, "lstEmployees"), QStringList({"1:000001", "3:000003", "5:000005", "10:000010"}));
    EXPECT_EQ(rows(d, "lstSelectedEmployees"), QStringList({"2:000002", "4:000004"}));
    EXPECT_EQ(d[QStringLiteral("labels")].toObject()[QStringLiteral("lblAllVendors")].toString(),
              QStringLiteral("Non Selected Active Employees (4):"));
    EXPECT_EQ(d[QStringLiteral("progress")].toObject()[QStringLiteral("value")].toInt(), 0);
    EXPECT_EQ(d[QStringLiteral("notice")].toString(), QString());
}

TEST_P(OperatorCycle, MovesCommitAndReloadShowTheDatabase) {
    const QString script = QStringLiteral(
        "# single move in, then several, then back and forth\n"
        "click lstEmployees 1\n"  // 1
        "press cmdAdd\n"
        "click lstEmployees 1\n"  // 3 and 5
        "click lstEmployees 2 shift\n"
        "press cmdAddAll\n"
        "dump\n"
        "click lstSelectedEmployees 1\n"  // 1 goes back: its move is undone
        "press cmdDelete\n"
        "dblclick lstSelectedEmployees 1\n"  // 2 leaves the centre
        "rightclick lstSelectedEmployees 2\n"
        "dump\n"
        "menu Remove\n"              // 4 leaves too
        "dblclick lstEmployees 4\n"  // 10 joins
        "dump\n"
        "press cmdCommit\n"
        "dump\n");
    const HostRun run = runHost(QStringLiteral("3"), server.process().url(), script);
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    ASSERT_EQ(run.dumps.size(), 4u);

    EXPECT_EQ(rows(run.dumps[0], "lstSelectedEmployees"),
              QStringList({"1:000001N", "2:000002", "3:000003N", "4:000004", "5:000005N"}));
    EXPECT_EQ(list(run.dumps[0], "lstSelectedEmployees")[QStringLiteral("selected")].toArray().size(), 2);
    EXPECT_EQ(run.dumps[1][QStringLiteral("menu")].toArray().first().toString(), QStringLiteral("Remove"));
    EXPECT_EQ(rows(run.dumps[2], "lstEmployees"), QStringList({"1:000001", "2:000002D", "4:000004D"}));
    EXPECT_EQ(rows(run.dumps[2], "lstSelectedEmployees"), QStringList({"3:000003N", "5:000005N", "10:000010N"}));
    EXPECT_TRUE(run.dumps[2][QStringLiteral("buttons")].toObject()[QStringLiteral("cmdCommit")].toBool());

    const QJsonObject& after = run.dumps[3];
    EXPECT_EQ(rows(after, "lstEmployees"), QStringList({"1:000001", "2:000002", "4:000004"}));
    EXPECT_EQ(rows(after, "lstSelectedEmployees"), QStringList({"3:000003", "5:000005", "10:000010"}));
    EXPECT_FALSE(after[QStringLiteral("buttons")].toObject()[QStringLiteral("cmdCommit")].toBool());
    const QJsonArray messages = after[QStringLiteral("messages")].toArray();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].toObject()[QStringLiteral("style")].toInt(), 64);
    EXPECT_EQ(messages[0].toObject()[QStringLiteral("title")].toString(),
              QStringLiteral("Center Employee Cross Reference"));
    EXPECT_EQ(after[QStringLiteral("notice")].toString(), QString());

    // The database holds exactly the centre's new employees; the inactive one and the other
    // centre are untouched.
    const std::vector<std::pair<qint32, qint32>> expected = {{3, 3}, {3, 5}, {3, 6}, {3, 10}, {7, 1}};
    EXPECT_EQ(server.db().assignments(), expected);
}

TEST_P(OperatorCycle, CommitWithoutPendingRowsReloadsOnly) {
    const HostRun run =
        runHost(QStringLiteral("3"), server.process().url(),
                QStringLiteral("click lstEmployees 1\npress cmdAdd\npress cmdDelete\npress cmdCommit\ndump\n"));
    ASSERT_EQ(run.exitCode, 0);
    ASSERT_EQ(run.dumps.size(), 1u);
    EXPECT_TRUE(run.dumps[0][QStringLiteral("messages")].toArray().isEmpty());
    const std::vector<std::pair<qint32, qint32>> unchanged = {{3, 2}, {3, 4}, {3, 6}, {7, 1}};
    EXPECT_EQ(server.db().assignments(), unchanged);
}

// A host fed its script line by line, so that the test can change the database between steps.
class InteractiveHost {
public:
    InteractiveHost(const QString& center, const QString& server) {
        registry_.reset(new QTemporaryDir);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("CENTEREMP_REGISTRY"), registry_->filePath(QStringLiteral("registry.ini")));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process_.setProcessEnvironment(environment);
        process_.start(QStringLiteral(CENTEREMP_BIN_DIR "/centeremp-host"),
                       {QStringLiteral("--center"), center, QStringLiteral("--server"), server,
                        QStringLiteral("--script"), QStringLiteral("-")});
    }
    ~InteractiveHost() {
        process_.closeWriteChannel();
        if (!process_.waitForFinished(30000)) process_.kill();
    }
    // Sends lines ending with a dump and returns that dump.
    QJsonObject dumpAfter(const QString& lines) {
        process_.write((lines + QStringLiteral("dump\n")).toUtf8());
        while (true) {
            while (!process_.canReadLine())
                if (!process_.waitForReadyRead(60000)) return {};
            const QByteArray line = process_.readLine();
            if (line.startsWith('{')) return QJsonDocument::fromJson(line).object();
        }
    }

private:
    std::unique_ptr<QTemporaryDir> registry_;
    QProcess process_;
};

TEST_P(OperatorCycle, ARefusedCommitKeepsTheMovesAndARetrySavesThem) {
    InteractiveHost host(QStringLiteral("3"), server.process().url());
    const QJsonObject moved = host.dumpAfter(
        QStringLiteral("click lstEmployees 4\npress cmdAdd\nclick lstSelectedEmployees 1\npress cmdDelete\n"));
    ASSERT_EQ(rows(moved, "lstSelectedEmployees"), QStringList({"4:000004", "10:000010N"}));

    // Employee 10 leaves the company before the commit arrives: the server refuses the batch.
    server.db().exec(
        QStringLiteral("UPDATE employees SET active = %1 WHERE ID = 10").arg(server.db().isPostgres() ? "false" : "0"));
    const QJsonObject refused = host.dumpAfter(QStringLiteral("press cmdCommit\n"));
    EXPECT_EQ(rows(refused, "lstSelectedEmployees"), rows(moved, "lstSelectedEmployees"));
    EXPECT_EQ(rows(refused, "lstEmployees"), rows(moved, "lstEmployees"));
    EXPECT_TRUE(refused[QStringLiteral("buttons")].toObject()[QStringLiteral("cmdCommit")].toBool());
    EXPECT_TRUE(refused[QStringLiteral("notice")].toString().startsWith(QStringLiteral("The changes were not saved")));
    const QJsonArray messages = refused[QStringLiteral("messages")].toArray();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].toObject()[QStringLiteral("text")].toString().contains(QStringLiteral("10")));
    const std::vector<std::pair<qint32, qint32>> before = {{3, 2}, {3, 4}, {3, 6}, {7, 1}};
    EXPECT_EQ(server.db().assignments(), before);

    server.db().exec(
        QStringLiteral("UPDATE employees SET active = %1 WHERE ID = 10").arg(server.db().isPostgres() ? "true" : "1"));
    const QJsonObject saved = host.dumpAfter(QStringLiteral("press cmdCommit\n"));
    EXPECT_EQ(rows(saved, "lstSelectedEmployees"), QStringList({"4:000004", "10:000010"}));
    EXPECT_EQ(saved[QStringLiteral("notice")].toString(), QString());
    const std::vector<std::pair<qint32, qint32>> after = {{3, 4}, {3, 6}, {3, 10}, {7, 1}};
    EXPECT_EQ(server.db().assignments(), after);
}

TEST_P(OperatorCycle, ALostServerIsShownNotMistakenForAnEmptyCentre) {
    const QString url = server.process().url();
    server.stop();
    const HostRun run = runHost(QStringLiteral("3"), url, QStringLiteral("dump\n"));
    ASSERT_EQ(run.dumps.size(), 1u);
    EXPECT_TRUE(run.dumps[0][QStringLiteral("notice")].toString().startsWith(
        QStringLiteral("The employees could not be loaded")));
    EXPECT_TRUE(rows(run.dumps[0], "lstEmployees").isEmpty());
    EXPECT_EQ(run.dumps[0][QStringLiteral("pointer")].toInt(), 0);
}

TEST_P(OperatorCycle, HostReportsFailedAssignmentsAndScriptErrors) {
    const HostRun run = runHost(QString(), QString(),
                                QStringLiteral("set CenterID abc\nset CenterID 99999999999\ncall urlEncode \"a b\"\n"));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.lines, QStringList({"error 13 Type mismatch", "error 6 Overflow", "urlEncode a+b"}));

    const std::pair<const char*, const char*> bad[] = {
        {"dump\nfly away\n", "line 2"},
        {"menu Remove\n", "line 1"},
        {"\n# comment\nclick lstEmployees 1\n", "line 3"},  // no rows before a load
        {"click nowhere 1\n", "line 1"},
        {"type txtVendorName \"open\n", "line 1"},
    };
    for (const auto& [script, where] : bad) {
        const HostRun failed = runHost(QString(), QString(), QString::fromUtf8(script));
        EXPECT_EQ(failed.exitCode, 2) << script;
        EXPECT_TRUE(failed.errors.contains(where)) << failed.errors.toStdString();
    }
}

TEST_P(OperatorCycle, FindAndSortFromAScript) {
    const QString script = QStringLiteral(
        "option optFind 0\n"
        "type txtVendorName \"O\"\n"  // Cy Young is the first name holding an o
        "press cmdFind\n"
        "dump\n"
        "option optList 1\n"
        "option optFind 1\n"
        "type txtVendorID 4\n"
        "press cmdFind\n"
        "type txtVendorID 44\n"
        "press cmdFind\n"
        "header lstEmployees 2\n"
        "header lstEmployees 2\n"
        "dump\n");
    const HostRun run = runHost(QStringLiteral("3"), server.process().url(), script);
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    ASSERT_EQ(run.dumps.size(), 2u);
    const QJsonObject employees = list(run.dumps[0], "lstEmployees");
    EXPECT_EQ(employees[QStringLiteral("selected")].toArray(), QJsonArray({2}));  // 3 Cy Young
    EXPECT_TRUE(employees[QStringLiteral("focus")].toBool());
    EXPECT_FALSE(run.dumps[0][QStringLiteral("buttons")].toObject()[QStringLiteral("cmdAdd")].toBool());

    const QJsonObject& after = run.dumps[1];
    EXPECT_EQ(list(after, "lstSelectedEmployees")[QStringLiteral("selected")].toArray(), QJsonArray({2}));  // ID 4
    const QJsonArray messages = after[QStringLiteral("messages")].toArray();
    ASSERT_EQ(messages.size(), 1);  // 44 is nobody
    EXPECT_EQ(messages[0].toObject()[QStringLiteral("text")].toString(), QStringLiteral("Not found"));
    EXPECT_EQ(list(after, "lstEmployees")[QStringLiteral("sortKey")].toInt(), 1);
    EXPECT_EQ(list(after, "lstEmployees")[QStringLiteral("sortOrder")].toInt(), 1);
    EXPECT_EQ(rows(after, "lstEmployees"), QStringList({"10:000010", "5:000005", "3:000003", "1:000001"}));
    EXPECT_EQ(after[QStringLiteral("textBoxes")]
                  .toObject()[QStringLiteral("txtVendorName")]
                  .toObject()[QStringLiteral("text")]
                  .toString(),
              QString());
}

QJsonValue pendingOf(const QJsonObject& dump) { return dump[QStringLiteral("pending")]; }

// An operator who never touches the mouse: ranges and toggles from the keyboard, the buttons by
// Space, Enter for a single move, Delete and the menu key to remove, then the commit.
TEST_P(OperatorCycle, KeyboardAloneSelectsMovesRemovesAndCommits) {
    const QString script = QStringLiteral(
        "key lstEmployees Tab,Tab,Tab,Tab\n"  // other list, "List to search", find options, ID box
        "key focus 1,0,Return\n"              // Enter in the box is Find
        "dump\n"
        "key lstEmployees Home\n"            // 1
        "key focus Shift+Down,Shift+Down\n"  // 1, 3 and 5
        "key focus Ctrl+Space\n"             // 5 off again
        "dump\n"
        "key focus Return\n"  // Enter moves what is selected: 1 and 3 join
        "key lstEmployees Home\n"
        "key focus Return\n"  // 5 joins
        "key lstSelectedEmployees Home\n"
        "key focus Delete\n"  // 1 goes back: its move is undone
        "key lstSelectedEmployees Home\n"
        "key focus Shift+F10\n"
        "dump\n"
        "menu Remove\n"  // 2 leaves the centre
        "dump\n"
        "key lstSelectedEmployees Tab\n"  // out of the list, onto Commit
        "key focus Return\n"
        "dump\n");
    const HostRun run = runHost(QStringLiteral("3"), server.process().url(), script);
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    ASSERT_EQ(run.dumps.size(), 5u);
    const QJsonObject found = list(run.dumps[0], "lstEmployees");
    EXPECT_EQ(found[QStringLiteral("current")].toInt(), found[QStringLiteral("rows")].toArray().size())
        << "ID 10, the last row, found";
    EXPECT_EQ(list(run.dumps[1], "lstEmployees")[QStringLiteral("selected")].toArray(), QJsonArray({1, 2}));
    EXPECT_TRUE(run.dumps[1][QStringLiteral("buttons")].toObject()[QStringLiteral("cmdAddAll")].toBool());
    EXPECT_EQ(run.dumps[2][QStringLiteral("menu")].toArray(), QJsonArray({QStringLiteral("Remove")}));
    EXPECT_EQ(rows(run.dumps[2], "lstSelectedEmployees"),
              QStringList({"2:000002", "3:000003N", "4:000004", "5:000005N"}));
    EXPECT_EQ(pendingOf(run.dumps[3]), QJsonObject({{"add", 2}, {"remove", 1}}));
    EXPECT_EQ(rows(run.dumps[3], "lstEmployees"), QStringList({"1:000001", "2:000002D", "10:000010"}));
    EXPECT_EQ(rows(run.dumps[4], "lstSelectedEmployees"), QStringList({"3:000003", "4:000004", "5:000005"}));
    EXPECT_EQ(pendingOf(run.dumps[4]), QJsonObject({{"add", 0}, {"remove", 0}}));
    const std::vector<std::pair<qint32, qint32>> assigned = {{3, 3}, {3, 4}, {3, 5}, {3, 6}, {7, 1}};
    EXPECT_EQ(server.db().assignments(), assigned);
}

// Keys and a gesture of our own: F3 and Shift+F3 walk the matches of the find text, wrapping;
// Ctrl+A selects every row; rows dragged onto the other list move as its move button would.
TEST_P(OperatorCycle, FindNextSelectAllAndDragMoveWhatIsSelected) {
    const QString script = QStringLiteral(
        "option optFind 0\n"
        "type txtVendorName o\n"  // Cy Young, Ed Wood, Jo March
        "key lstEmployees F3\n"   // after Ann Smith: Cy Young
        "key focus F3,F3,F3\n"    // Ed Wood, Jo March, around to Cy Young
        "key focus Shift+F3\n"    // back past Ann Smith, around to Jo March
        "dump\n"
        "key lstEmployees Ctrl+A\n"
        "dump\n"
        "drag lstEmployees 2 lstSelectedEmployees\n"  // holding one of the selected rows
        "dump\n");
    const HostRun run = runHost(QStringLiteral("3"), server.process().url(), script);
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    ASSERT_EQ(run.dumps.size(), 3u);
    EXPECT_EQ(list(run.dumps[0], "lstEmployees")[QStringLiteral("selected")].toArray(), QJsonArray({4}));
    EXPECT_TRUE(run.dumps[0][QStringLiteral("buttons")].toObject()[QStringLiteral("cmdAdd")].toBool());
    EXPECT_EQ(list(run.dumps[1], "lstEmployees")[QStringLiteral("selected")].toArray(), QJsonArray({1, 2, 3, 4}));
    EXPECT_TRUE(run.dumps[1][QStringLiteral("buttons")].toObject()[QStringLiteral("cmdAddAll")].toBool());
    EXPECT_EQ(rows(run.dumps[2], "lstEmployees"), QStringList());
    EXPECT_EQ(pendingOf(run.dumps[2]), QJsonObject({{"add", 4}, {"remove", 0}}));
}

// The host's window closing with a move not saved: Cancel keeps the window and the move, Save
// commits it and closes, and with nothing left to save the window closes unasked.
TEST_P(OperatorCycle, ClosingWithUnsavedMovesAsksAndSaveCommitsFirst) {
    QTemporaryDir registry;
    qputenv("CENTEREMP_REGISTRY", registry.filePath(QStringLiteral("registry.ini")).toUtf8());
    ComponentLoader loader(QStringLiteral(CENTEREMP_LIB_DIR "/libTarvoCenterEmp.so"));
    QString error;
    IDispatchLike* control = loader.create(QStringLiteral("TarvoCenterEmp.CenterEmployee"), &error);
    ASSERT_NE(control, nullptr) << error.toStdString();
    void* driverInterface = nullptr;
    ASSERT_EQ(control->queryInterface(iids::OperatorDriver, &driverInterface), hresult::Ok);
    auto* driver = static_cast<IOperatorDriverLike*>(driverInterface);
    driver->recordSurface();
    EXPECT_FALSE(putProperty(*control, QStringLiteral("CenterID"), QStringLiteral("3")));
    EXPECT_FALSE(putProperty(*control, QStringLiteral("ServerName"), server.process().url()));
    EXPECT_EQ(driver->click(QStringLiteral("lstEmployees"), 1, ListClick::Plain), QString());
    EXPECT_EQ(driver->press(QStringLiteral("cmdAdd")), QString());

    std::vector<int> asked;
    QMessageBox::StandardButton answer = QMessageBox::Cancel;
    UnsavedMovesGuard guard(*driver, [&](int moves) {
        asked.push_back(moves);
        return answer;
    });
    EXPECT_FALSE(guard.mayClose());
    EXPECT_EQ(unsavedMoves(*driver), 1);
    answer = QMessageBox::Save;
    EXPECT_TRUE(guard.mayClose());
    EXPECT_EQ(server.db().assignments(),
              (std::vector<std::pair<qint32, qint32>>{{3, 1}, {3, 2}, {3, 4}, {3, 6}, {7, 1}}));
    EXPECT_TRUE(guard.mayClose());
    EXPECT_EQ(asked, (std::vector<int>{1, 1}));
    driver->release();
    control->release();
    qunsetenv("CENTEREMP_REGISTRY");
}

// The control over https to a server that wants operators to sign in: the script's login answers
// the prompt, a refused password ends the load, and a certificate no trusted authority signed is
// never talked to. What was committed is on record under the operator's name.
TEST_P(OperatorCycle, SignsInOverVerifiedHttps) {
    TestCertificates certificates;
    ASSERT_TRUE(certificates.ok()) << certificates.error().toStdString();
    LiveServer secure;
    ASSERT_TRUE(secure.start(GetParam(),
                             {u"--tls-cert"_qs, certificates.serverCert(), u"--tls-key"_qs, certificates.serverKey()}));
    secure.db().addEmployees({{1, u"Ann Smith"_qs, true}, {2, u"Bob Jones"_qs, true}});
    secure.db().assign(3, {2}, QDateTime::currentDateTimeUtc());
    const QString password = u"pass word éé"_qs;
    secure.admin({u"operator"_qs, u"add"_qs, u"ann"_qs, u"--centres"_qs, u"3"_qs}, password.toUtf8() + '\n');
    const QString url = secure.process().url();
    const std::vector<std::pair<QString, QString>> trustTestCa = {{u"SSL_CERT_FILE"_qs, certificates.caFile()}};
    const auto notice = [](const HostRun& run) {
        return run.dumps.empty() ? QString() : run.dumps.back()[QStringLiteral("notice")].toString();
    };

    const HostRun refused =
        runHost(u"3"_qs, QString(), u"login ann wrong\nset ServerName %1\ndump\n"_qs.arg(url), trustTestCa);
    EXPECT_EQ(refused.exitCode, 0) << refused.errors.toStdString();
    EXPECT_TRUE(notice(refused).contains(u"refused the sign-in"_qs)) << notice(refused).toStdString();

    const HostRun untrusted =
        runHost(u"3"_qs, QString(), u"login ann \"%1\"\nset ServerName %2\ndump\n"_qs.arg(password, url),
                {{u"SSL_CERT_FILE"_qs, certificates.selfSignedCert()}});
    EXPECT_EQ(untrusted.exitCode, 0) << untrusted.errors.toStdString();
    EXPECT_TRUE(notice(untrusted).contains(u"certificate could not be verified"_qs)) << notice(untrusted).toStdString();
    EXPECT_TRUE(rows(untrusted.dumps.back(), "lstEmployees").isEmpty());

    const HostRun signedIn = runHost(
        u"3"_qs, QString(),
        u"login ann \"%1\"\nset ServerName %2\nclick lstEmployees 1\npress cmdAdd\npress cmdCommit\ndump\n"_qs.arg(
            password, url),
        trustTestCa);
    ASSERT_EQ(signedIn.exitCode, 0) << signedIn.errors.toStdString();
    EXPECT_EQ(notice(signedIn), QString());
    EXPECT_EQ(rows(signedIn.dumps.back(), "lstSelectedEmployees"), QStringList({"1:000001", "2:000002"}));
    EXPECT_FALSE(signedIn.lines.join(u'\n').contains(password));

    QByteArray audit;
    ASSERT_EQ(secure.admin({u"audit"_qs}, {}, &audit), 0);
    EXPECT_TRUE(audit.endsWith("\tann\t127.0.0.1\t3\t1\tadd\tapplied\n")) << audit.toStdString();
    EXPECT_EQ(audit.count('\n'), 1);
    EXPECT_EQ(secure.stop(), 0);
}

INSTANTIATE_TEST_SUITE_P(Backends, OperatorCycle, ::testing::Values(Backend::Sqlite, Backend::Postgres),
                         [](const auto& info) { return info.param == Backend::Sqlite ? "SQLite" : "PostgreSQL"; });

// A server that asks for a sign-in: a `login` line answers the prompt, and the password shows
// nowhere in what the host prints; without one the line that raised the prompt fails.
TEST(OperatorScript, LoginAnswersTheSignIn) {
    const QByteArray feed =
        "<CenterEmployees><Counts><Count><NonSelected>1</NonSelected><Selected>0</Selected></Count></Counts>"
        "<NonSelectedEmployees><Employee><ID>5</ID><Name>Ed Wood</Name></Employee></NonSelectedEmployees>"
        "<SelectedEmployees></SelectedEmployees></CenterEmployees>";
    const CannedHttpServer::Answer challenge{401, "sign in first", "text/plain",
                                             "WWW-Authenticate: Basic realm=\"TarvoCenterEmp\", charset=\"UTF-8\"\r\n"};
    const QString password = QStringLiteral("s3cret-p\u00e4ss");
    CannedHttpServer server;
    server.respond(200, feed);

    server.answerInTurn({challenge});
    const HostRun signedIn =
        runHost(QStringLiteral("3"), QString(),
                QStringLiteral("login ann \"%1\"\nset ServerName %2\ndump\n").arg(password, server.url()));
    EXPECT_EQ(signedIn.exitCode, 0) << signedIn.errors.toStdString();
    ASSERT_EQ(signedIn.dumps.size(), 1u);
    EXPECT_EQ(rows(signedIn.dumps[0], "lstEmployees"), QStringList({"5:000005"}));
    EXPECT_FALSE(signedIn.lines.join(u'\n').contains(password));
    EXPECT_FALSE(QString::fromUtf8(signedIn.errors).contains(password));
    EXPECT_EQ(server.requests().back().authorization,
              QByteArray("Basic ") + (QStringLiteral("ann:") + password).toUtf8().toBase64());

    server.answerInTurn({challenge});
    const HostRun noLogin =
        runHost(QStringLiteral("3"), QString(), QStringLiteral("set ServerName %1\ndump\n").arg(server.url()));
    EXPECT_EQ(noLogin.exitCode, 2);
    EXPECT_TRUE(noLogin.errors.contains("line 1: the control asked for a sign-in to " + server.url().toUtf8() +
                                        " (realm TarvoCenterEmp) and the script gave no login before it"))
        << noLogin.errors.toStdString();
    EXPECT_TRUE(noLogin.dumps.empty());
}

}  // namespace
