// The server as a process: its exit codes for a wrong command line, an unusable database or a
// taken port, and a clean stop on a signal.

#include "server_test_support.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>
#include <string>

using namespace centeremp::servertest;
using Backend = LiveServer::Backend;

namespace {

struct BadCommandLine {
    const char* name;
    QStringList arguments;
    friend void PrintTo(const BadCommandLine& row, std::ostream* out) { *out << row.name; }
};

class CommandLine : public testing::TestWithParam<BadCommandLine> {};

TEST_P(CommandLine, IsRefusedWithUsageAndExitCode2) {
    QByteArray error;
    QByteArray output;
    EXPECT_EQ(runServerToExit(GetParam().arguments, &error, &output), 2);
    EXPECT_TRUE(error.contains("usage: centeremp-server")) << error.toStdString();
    EXPECT_TRUE(output.isEmpty()) << output.toStdString();
}

INSTANTIATE_TEST_SUITE_P(ServerExit, CommandLine,
                         testing::Values(BadCommandLine{"Nothing", {}}, BadCommandLine{"NoDatabase", {u"--demo"_qs}},
                                         BadCommandLine{"Unknown", {u"--db"_qs, u"x.db"_qs, u"--port"_qs, u"1"_qs}},
                                         BadCommandLine{"BadListen",
                                                        {u"--db"_qs, u"x.db"_qs, u"--listen"_qs, u"127.0.0.1"_qs}},
                                         BadCommandLine{"BadUri", {u"--db"_qs, u"postgresql://u@h/db?nope=1"_qs}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ServerProcessTest, UnusableDatabaseFailsAtStartWithExitCode1) {
    QByteArray error;
    EXPECT_EQ(
        runServerToExit({u"--db"_qs, u"/nonexistent-dir/sub/x.sqlite"_qs, u"--listen"_qs, u"127.0.0.1:0"_qs}, &error),
        1);
    EXPECT_TRUE(error.contains("cannot open")) << error.toStdString();
}

TEST(ServerProcessTest, PortInUseFailsWithExitCode1) {
    LiveServer first;
    ASSERT_TRUE(first.start(Backend::Sqlite));
    QTemporaryDir dir;
    QByteArray error;
    EXPECT_EQ(runServerToExit({u"--db"_qs, dir.filePath(u"second.sqlite"_qs), u"--listen"_qs,
                               u"127.0.0.1:"_qs + QString::number(first.process().port())},
                              &error),
              1);
    EXPECT_TRUE(error.contains("cannot listen")) << error.toStdString();
    EXPECT_EQ(first.stop(), 0);
}

TEST(ServerProcessTest, StopsCleanlyOnSigint) {
    LiveServer server;
    ASSERT_TRUE(server.start(Backend::Sqlite));
    server.db().addCentre(1);
    ASSERT_EQ(server.get("/CenterEmployee.asp?centerID=1").status, 200);
    EXPECT_EQ(server.process().stop(/*interrupt=*/true), 0);
    EXPECT_TRUE(server.process().standardError().contains("SIGINT received"));
}

}  // namespace
