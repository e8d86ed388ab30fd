// The server's request handling on a throw-away SQLite file. This checks what the service
// promises: the log line written for the request is one line whatever the request and the answer
// hold; the assignments change only for a POST answered 200, and then exactly as its batch says; a feed answer is a
// document the control can read and lists the centre's active employees, assigned or not, as a plain join of the tables
// says; nothing a client sends makes the database look unavailable.

#include "feed/feed_document.h"
#include "fuzz/request_text.h"
#include "server/center_employee_service.h"
#include "server/demo_data.h"
#include "server/employee_store.h"
#include "server/request_log.h"
#include "server/sql_batch.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <set>
#include <utility>

namespace {

using namespace centeremp::server;
using Pairs = std::set<std::pair<qint32, qint32>>;

[[noreturn]] void fail(const char* what, const QByteArray& detail = {}) {
    std::fprintf(stderr, "service: %s %s\n", what, detail.left(400).constData());
    std::abort();
}

Pairs assignments(QSqlDatabase& db) {
    Pairs pairs;
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT CenterID, EmployeeID FROM CenterEmployeeCrossReference")))
        fail("cannot read the assignments");
    while (query.next()) pairs.emplace(query.value(0).toInt(), query.value(1).toInt());
    return pairs;
}

Pairs applied(Pairs pairs, const Batch& batch) {
    for (const BatchStatement& s : batch.statements) {
        if (const auto* insert = std::get_if<InsertStatement>(&s.statement)) {
            pairs.emplace(insert->centerId, insert->employeeId);
        } else {
            const auto& removal = std::get<DeleteStatement>(s.statement);
            for (qint32 id : removal.employeeIds) pairs.erase({removal.centerId, id});
        }
    }
    return pairs;
}

// The centre's active employees from one join, ordered by ID: the reference for the feed.
std::pair<std::vector<qint32>, std::vector<qint32>> centre(QSqlDatabase& db, qint32 centerId) {
    QSqlQuery query(db);
    query.prepare(
        QStringLiteral("SELECT e.ID, x.EmployeeID IS NOT NULL FROM employees e "
                       "LEFT JOIN CenterEmployeeCrossReference x ON x.CenterID = ? AND x.EmployeeID = e.ID "
                       "WHERE e.active ORDER BY e.ID"));
    query.addBindValue(centerId);
    if (!query.exec()) fail("cannot read the centre");
    std::pair<std::vector<qint32>, std::vector<qint32>> lists;
    while (query.next()) (query.value(1).toBool() ? lists.second : lists.first).push_back(query.value(0).toInt());
    return lists;
}

std::vector<qint32> idsIn(const FeedNode& block) {
    std::vector<qint32> ids;
    for (FeedNode employee = block.firstChild(); !employee.isNull(); employee = employee.nextSibling())
        ids.push_back(employee.child(0).text().toInt());
    return ids;
}

std::optional<qint32> centreOf(const HttpRequest& request) {
    for (const auto& [name, value] : request.query)
        if (name.compare("centerID", Qt::CaseInsensitive) == 0) return value.toInt();
    return std::nullopt;
}

struct World {
    QTemporaryDir dir;
    DatabaseAddress address;
    QSqlDatabase snapshot;
    std::unique_ptr<CenterEmployeeService> service;

    World() {
        if (!dir.isValid()) fail("no temporary folder");
        address.sqlitePath = dir.filePath(QStringLiteral("fuzz.sqlite"));
        {
            EmployeeStore seed(address, QStringLiteral("seed"));
            if (seed.open()) fail("cannot create the database");
            const DemoData demo = makeDemoData();
            if (seed.insertSeed(demo.centres, demo.employees, demo.assignments, QDateTime::currentDateTimeUtc()))
                fail("cannot seed the database");
        }
        snapshot = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("snapshot"));
        snapshot.setDatabaseName(address.sqlitePath);
        if (!snapshot.open()) fail("cannot open the snapshot connection");
        service =
            std::make_unique<CenterEmployeeService>(address, QStringLiteral("fuzz"), std::make_shared<SignInGate>());
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int argc = 1;
    static char name[] = "fuzz_service";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static World world;

    const HttpRequest request = requestFromText(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    const Pairs before = assignments(world.snapshot);
    const HttpResponse response = world.service->handle(request);
    const Pairs after = assignments(world.snapshot);

    // What the HTTP layer logs for this request: a note if the answer has one, else its body.
    const QString note = response.logNote.isEmpty() ? QString::fromUtf8(response.body) : response.logNote;
    const QByteArray line =
        requestLogLine({QDateTime::currentDateTimeUtc(), request.id, request.remoteAddress, request.method,
                        request.path, response.status, 0, response.logOperator, response.logCentre, note});
    if (!line.endsWith('\n')) fail("a log line without its newline:", line);
    for (qsizetype i = 0; i + 1 < line.size(); ++i)
        if (line[i] < 0x20 || line[i] > 0x7e) fail("a log line that is not one line of printable text:", line);

    if (response.status >= 500) fail("answered a client's request with a server error:", response.body);
    if (response.status == 200 && request.method == "POST") {
        const auto parsed = parseBatch(request.body);
        if (!std::holds_alternative<Batch>(parsed)) fail("saved a batch its parser refuses");
        if (after != applied(before, std::get<Batch>(parsed))) fail("the database differs from what the batch says");
    } else if (after != before) {
        fail("the database changed for a request not answered 200 to a POST, status",
             QByteArray::number(response.status));
    }
    if (response.status == 200 && request.method != "POST") {
        if (!response.contentType.startsWith("text/xml")) fail("a feed answer that is not XML:", response.contentType);
        FeedDocument document;
        if (!document.parse(response.body)) fail("a feed answer that does not parse:", response.body);
        const auto centerId = centreOf(request);
        if (!centerId) fail("a feed without a centre");
        const auto [nonSelected, selected] = centre(world.snapshot, *centerId);
        const FeedNode root = document.root();
        if (idsIn(root.child(1)) != nonSelected) fail("the feed's non-selected employees differ from the join");
        if (idsIn(root.child(2)) != selected) fail("the feed's selected employees differ from the join");
        const FeedNode counts = root.child(0).child(0);
        if (counts.child(0).text().toInt() != int(nonSelected.size()) ||
            counts.child(1).text().toInt() != int(selected.size()))
            fail("the feed's counts differ from its rows");
    }
    return 0;
}
