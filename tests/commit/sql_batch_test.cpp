#include "commit/sql_batch.h"
#include "rules/runtime_error.h"
#include "support/control_harness.h"

#include <gtest/gtest.h>

namespace {

const QString kInsertHead =
    QStringLiteral("INSERT INTO CenterEmployeeCrossReference (CenterID,EmployeeID,RecordLastUpdated) VALUES (");

void mark(ReportList& list, const char* id, const char* column) {
    list.setSubItem(list.findItem(QString::fromUtf8(id)), 2, QString::fromUtf8(column));
}

TEST(SqlBatch, WorkedExampleGivesTheExactBody) {
    ReportList selected(QStringLiteral("s"), 3975), employees(QStringLiteral("e"), 3975);
    fillList(selected, {{"345", "a"}, {"88", "b"}});
    fillList(employees, {{"7", "c"}, {"5", "d"}, {"1024", "e"}});
    mark(selected, "345", "000345N");
    mark(employees, "7", "000007D");
    mark(employees, "1024", "001024D");
    // By name, the lists show 345, 88 and 7, 5, 1024: the item order of the example.
    employees.setSortKey(1);
    selected.setSortKey(1);
    const SqlBatch batch = buildSqlBatch(selected, employees, 12);
    ASSERT_EQ(batch.statements.size(), 2);
    EXPECT_EQ(batch.statements[0], kInsertHead + QStringLiteral("12,345,GETDATE()) "));
    EXPECT_EQ(batch.statements[1],
              QStringLiteral("DELETE FROM CenterEmployeeCrossReference WHERE CenterID=12 AND EmployeeID IN(7,1024)"));
    EXPECT_EQ(requestBody(batch.statements).size(), 229);
}

TEST(SqlBatch, StatementTable) {
    struct Case {
        const char* what;
        qint32 centerID;
        std::vector<std::pair<const char*, const char*>> selected;   // id, third column
        std::vector<std::pair<const char*, const char*>> employees;  // id, third column
        QStringList statements;
    };
    const QString del = QStringLiteral("DELETE FROM CenterEmployeeCrossReference WHERE CenterID=");
    const Case cases[] = {
        {"nothing pending", 3, {{"1", "000001"}}, {{"2", "000002"}}, {}},
        {"inserts only, in order",
         3,
         {{"1", "000001N"}, {"2", "000002"}, {"9", "000009N"}},
         {},
         {kInsertHead + "3,1,GETDATE()) ", kInsertHead + "3,9,GETDATE()) "}},
        {"one delete for two rows",
         3,
         {},
         {{"7", "000007D"}, {"1024", "001024D"}},
         {del + "3 AND EmployeeID IN(7,1024)"}},
        {"one delete for one row", 3, {}, {{"7", "000007D"}}, {del + "3 AND EmployeeID IN(7)"}},
        {"inserts first, delete last",
         3,
         {{"4", "000004N"}},
         {{"7", "000007D"}},
         {kInsertHead + "3,4,GETDATE()) ", del + "3 AND EmployeeID IN(7)"}},
        {"negative centre",
         -3,
         {{"4", "000004N"}},
         {{"7", "000007D"}},
         {kInsertHead + "-3,4,GETDATE()) ", del + "-3 AND EmployeeID IN(7)"}},
        {"empty column counts as pending",
         3,
         {{"4", ""}},
         {{"7", "x"}},
         {kInsertHead + "3,4,GETDATE()) ", del + "3 AND EmployeeID IN(7)"}},
    };
    for (const Case& c : cases) {
        ReportList selected(QStringLiteral("s"), 3975), employees(QStringLiteral("e"), 3975);
        selected.setSortKey(1);  // no names: the rows stay in the order they were added
        employees.setSortKey(1);
        for (const auto& [id, column] : c.selected) {
            ListRow* row = selected.add(QString::fromUtf8(id));
            selected.setSubItem(row, 2, QString::fromUtf8(column));
        }
        for (const auto& [id, column] : c.employees) {
            ListRow* row = employees.add(QString::fromUtf8(id));
            employees.setSubItem(row, 2, QString::fromUtf8(column));
        }
        const SqlBatch batch = buildSqlBatch(selected, employees, c.centerID);
        EXPECT_EQ(batch.statements, c.statements) << c.what;
        EXPECT_TRUE(batch.invalidIds.isEmpty()) << c.what;
    }
}

TEST(SqlBatch, IdsThatAreNotPlainIntegersAreCollected) {
    ReportList selected(QStringLiteral("s"), 3975), employees(QStringLiteral("e"), 3975);
    for (const char* id : {"7);DROP TABLE x;--", "12", " 5", "2147483648"}) {
        ListRow* row = selected.add(QString::fromUtf8(id));
        selected.setSubItem(row, 2, QStringLiteral("N"));
    }
    ListRow* row = employees.add(QStringLiteral("1,2"));
    employees.setSubItem(row, 2, QStringLiteral("D"));
    const SqlBatch batch = buildSqlBatch(selected, employees, 1);
    EXPECT_EQ(batch.invalidIds.size(), 4);
    EXPECT_FALSE(batch.invalidIds.contains(QStringLiteral("12")));
}

TEST(RequestBody, FieldsEndWithAnAmpersandAndCountIn16Bits) {
    const QString body = requestBody({kInsertHead + QStringLiteral("12,345,GETDATE()) "),
                                      QStringLiteral("DELETE FROM CenterEmployeeCrossReference WHERE CenterID=12 AND "
                                                     "EmployeeID IN(7,1024)")});
    EXPECT_EQ(body, QStringLiteral(
                        "SQL=INSERT+INTO+CenterEmployeeCrossReference+%28CenterID%2CEmployeeID%2CRecordLastUpdated%29"
                        "+VALUES+%2812%2C345%2CGETDATE%28%29%29+&SQL=DELETE+FROM+CenterEmployeeCrossReference+WHERE+"
                        "CenterID%3D12+AND+EmployeeID+IN%287%2C1024%29&"));
    EXPECT_EQ(body.size(), 229);
    EXPECT_TRUE(requestBody({}).isEmpty());
    EXPECT_EQ(requestBody(QStringList(32767, QStringLiteral("x"))).size(), 32767 * 6);
    EXPECT_THROW(requestBody(QStringList(32768, QStringLiteral("x"))), RuntimeError);
}

}  // namespace
