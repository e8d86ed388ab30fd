#include "test_database.h"

#include "test_application.h"

#include "server/harness/scratch_database.h"

#include <QSqlError>
#include <QSqlQuery>

#include <gtest/gtest.h>

#include <atomic>

namespace centeremp::servertest {

namespace {

std::atomic<int> connectionCounter{0};

}  // namespace

TestDatabase::TestDatabase(const server::DatabaseAddress& address)
    : name_(QStringLiteral("test-%1").arg(connectionCounter.fetch_add(1))),
      postgres_(address.kind == server::DatabaseAddress::Kind::Postgres) {
    ensureApplication();
    db_ = harness::openConnection(address, name_);
    if (!db_.isOpen()) ADD_FAILURE() << "test connection: " << db_.lastError().text().toStdString();
}

TestDatabase::~TestDatabase() {
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(name_);
}

void TestDatabase::exec(const QString& sql) {
    QSqlQuery query(db_);
    if (!query.exec(sql)) ADD_FAILURE() << sql.toStdString() << ": " << query.lastError().text().toStdString();
}

qint64 TestDatabase::count(const QString& sql) {
    QSqlQuery query(db_);
    if (!query.exec(sql) || !query.next()) {
        ADD_FAILURE() << sql.toStdString() << ": " << query.lastError().text().toStdString();
        return -1;
    }
    return query.value(0).toLongLong();
}

void TestDatabase::addEmployees(const std::vector<TestEmployee>& employees) {
    db_.transaction();
    QSqlQuery query(db_);
    query.prepare(u"INSERT INTO employees (ID, name, active) VALUES (?, ?, ?)"_qs);
    for (const TestEmployee& employee : employees) {
        query.bindValue(0, employee.id);
        query.bindValue(1, employee.name);
        query.bindValue(2, employee.active);
        if (!query.exec()) {
            ADD_FAILURE() << "employee " << employee.id << ": " << query.lastError().text().toStdString();
            break;
        }
    }
    if (!db_.commit()) ADD_FAILURE() << db_.lastError().text().toStdString();
}

void TestDatabase::addCentre(qint32 centerId) {
    QSqlQuery query(db_);
    query.prepare(u"INSERT INTO centers (ID, name) VALUES (?, ?) ON CONFLICT DO NOTHING"_qs);
    query.bindValue(0, centerId);
    query.bindValue(1, QStringLiteral("Centre %1").arg(centerId));
    if (!query.exec()) ADD_FAILURE() << "centre " << centerId << ": " << query.lastError().text().toStdString();
}

void TestDatabase::assign(qint32 centerId, const std::vector<qint32>& employeeIds, const QDateTime& when) {
    addCentre(centerId);
    db_.transaction();
    QSqlQuery query(db_);
    query.prepare(
        u"INSERT INTO CenterEmployeeCrossReference (CenterID, EmployeeID, RecordLastUpdated) "
        "VALUES (?, ?, ?)"_qs);
    for (qint32 id : employeeIds) {
        query.bindValue(0, centerId);
        query.bindValue(1, id);
        query.bindValue(2, postgres_ ? QVariant(when.toUTC()) : QVariant(when.toUTC().toString(Qt::ISODateWithMs)));
        if (!query.exec()) {
            ADD_FAILURE() << "assignment " << centerId << "/" << id << ": " << query.lastError().text().toStdString();
            break;
        }
    }
    if (!db_.commit()) ADD_FAILURE() << db_.lastError().text().toStdString();
}

QString TestDatabase::dump() {
    QString text;
    for (const QString& sql : {u"SELECT ID, name, active FROM employees ORDER BY ID"_qs,
                               u"SELECT CenterID, EmployeeID, RecordLastUpdated FROM CenterEmployeeCrossReference "
                               "ORDER BY CenterID, EmployeeID"_qs}) {
        QSqlQuery query(db_);
        if (!query.exec(sql)) {
            ADD_FAILURE() << sql.toStdString() << ": " << query.lastError().text().toStdString();
            return {};
        }
        text += sql + u'\n';
        while (query.next()) {
            for (int column = 0; column < 3; ++column) {
                const QVariant value = query.value(column);
                text += value.typeId() == QMetaType::QDateTime ? value.toDateTime().toUTC().toString(Qt::ISODateWithMs)
                                                               : value.toString();
                text += u'|';
            }
            text += u'\n';
        }
    }
    return text;
}

std::vector<std::pair<qint32, qint32>> TestDatabase::assignments() {
    std::vector<std::pair<qint32, qint32>> pairs;
    QSqlQuery query(db_);
    if (!query.exec(u"SELECT CenterID, EmployeeID FROM CenterEmployeeCrossReference ORDER BY CenterID, EmployeeID"_qs))
        ADD_FAILURE() << query.lastError().text().toStdString();
    while (query.next()) pairs.emplace_back(query.value(0).toInt(), query.value(1).toInt());
    return pairs;
}

}  // namespace centeremp::servertest
