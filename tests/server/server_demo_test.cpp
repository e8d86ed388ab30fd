// --demo fills a new database with sample data and never touches one that has data.

#include "server_test_support.h"

#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <pugixml.hpp>

using namespace centeremp::servertest;
using centeremp::server::DatabaseAddress;

namespace {

DatabaseAddress sqliteAt(const QString& path) {
    DatabaseAddress address;
    address.sqlitePath = path;
    return address;
}

TEST(DemoData, FillsAFreshDatabase) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"demo.sqlite"_qs);
    ServerProcess server;
    ASSERT_TRUE(server.start({u"--db"_qs, path, u"--demo"_qs}));
    {
        TestDatabase db(sqliteAt(path));
        EXPECT_GE(db.count(u"SELECT COUNT(*) FROM employees"_qs), 200);
        const qint64 inactive = db.count(u"SELECT COUNT(*) FROM employees WHERE active = 0"_qs);
        EXPECT_GE(inactive, 3);
        EXPECT_LE(inactive, 20);
        EXPECT_EQ(db.count(u"SELECT COUNT(DISTINCT CenterID) FROM CenterEmployeeCrossReference"_qs), 5);
        EXPECT_EQ(
            db.count(u"SELECT COUNT(*) FROM CenterEmployeeCrossReference x JOIN employees e ON e.ID = x.EmployeeID "
                     "WHERE e.active = 0"_qs),
            0)
            << "sample assignments are of active employees";
        EXPECT_EQ(db.count(u"SELECT COUNT(*) FROM employees WHERE name = 'José Müller'"_qs), 1);
        for (const char* special : {"&", "<", ">", "'", "\""}) {
            EXPECT_GE(db.count(QStringLiteral("SELECT COUNT(*) FROM employees WHERE instr(name, '%1') > 0")
                                   .arg(QString::fromLatin1(special).replace(u"'"_qs, u"''"_qs))),
                      1)
                << special;
        }
    }
    const HttpReply feed = httpRequest(server.port(), "GET", "/CenterEmployee.asp?centerID=1");
    ASSERT_EQ(feed.status, 200);
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_buffer(feed.body.constData(), std::size_t(feed.body.size())));
    const pugi::xml_node count = doc.first_child().first_child().first_child();
    EXPECT_GT(std::stol(count.first_child().next_sibling().child_value()), 0) << "centre 1 has assigned employees";
    EXPECT_EQ(server.stop(), 0);
}

TEST(DemoData, LeavesADatabaseWithDataAlone) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"kept.sqlite"_qs);
    {
        ServerProcess server;  // creates the tables
        ASSERT_TRUE(server.start({u"--db"_qs, path}));
        TestDatabase db(sqliteAt(path));
        db.addEmployees({{42, u"Only Person"_qs, true}});
        EXPECT_EQ(server.stop(), 0);
    }
    QString before;
    {
        TestDatabase db(sqliteAt(path));
        before = db.dump();
    }
    ServerProcess server;
    ASSERT_TRUE(server.start({u"--db"_qs, path, u"--demo"_qs}));
    {
        TestDatabase db(sqliteAt(path));
        EXPECT_EQ(db.dump(), before);
    }
    EXPECT_EQ(server.stop(), 0);
    EXPECT_TRUE(server.standardError().contains("already has data")) << server.standardError().toStdString();
}

TEST(DemoData, IsTheSameOnEveryFreshDatabase) {
    QTemporaryDir dir;
    QString dumps[2];
    for (int i = 0; i < 2; ++i) {
        const QString path = dir.filePath(QStringLiteral("demo%1.sqlite").arg(i));
        ServerProcess server;
        ASSERT_TRUE(server.start({u"--db"_qs, path, u"--demo"_qs}));
        EXPECT_EQ(server.stop(), 0);
        TestDatabase db(sqliteAt(path));
        dumps[i] = db.dump().remove(QRegularExpression(u"\\d{4}-\\d\\d-\\d\\dT[0-9:.]+Z"_qs));
    }
    EXPECT_FALSE(dumps[0].isEmpty());
    EXPECT_EQ(dumps[0], dumps[1]);
}

}  // namespace
