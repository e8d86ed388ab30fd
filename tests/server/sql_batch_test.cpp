#include "server/sql_batch.h"

#include <QUrl>

#include <gtest/gtest.h>

#include <numeric>
#include <ostream>

#include <string>

using namespace centeremp::server;

namespace {

const QString insertHead =
    QStringLiteral("INSERT INTO CenterEmployeeCrossReference (CenterID,EmployeeID,RecordLastUpdated) VALUES (");
const QString deleteHead = QStringLiteral("DELETE FROM CenterEmployeeCrossReference WHERE CenterID=");

QString insertText(const QString& values, const QString& tail = QStringLiteral(",GETDATE()) ")) {
    return insertHead + values + tail;
}

QString deleteText(const QString& center, const QString& list) {
    return deleteHead + center + QStringLiteral(" AND EmployeeID IN(") + list + u')';
}

std::string describe(const std::variant<InsertStatement, DeleteStatement, Refusal>& parsed) {
    if (const auto* insert = std::get_if<InsertStatement>(&parsed))
        return "INSERT " + std::to_string(insert->centerId) + "," + std::to_string(insert->employeeId);
    if (const auto* remove = std::get_if<DeleteStatement>(&parsed)) {
        std::string text = "DELETE " + std::to_string(remove->centerId) + " [";
        for (qint32 id : remove->employeeIds) text += std::to_string(id) + " ";
        return text + "]";
    }
    return "refused: " + std::get<Refusal>(parsed).reason.toStdString();
}

// ---- statements the control sends ----

struct AcceptedCase {
    const char* name;
    QString text;
    Statement expected;
    friend void PrintTo(const AcceptedCase& row, std::ostream* out) { *out << row.name; }
};

class AcceptedStatement : public testing::TestWithParam<AcceptedCase> {};

TEST_P(AcceptedStatement, ParsesToTheBoundValues) {
    const auto& row = GetParam();
    const auto parsed = parseStatement(row.text);
    if (const auto* insert = std::get_if<InsertStatement>(&row.expected)) {
        const auto* got = std::get_if<InsertStatement>(&parsed);
        ASSERT_NE(got, nullptr) << describe(parsed);
        EXPECT_EQ(*got, *insert) << describe(parsed);
    } else {
        const auto* got = std::get_if<DeleteStatement>(&parsed);
        ASSERT_NE(got, nullptr) << describe(parsed);
        EXPECT_EQ(*got, std::get<DeleteStatement>(row.expected)) << describe(parsed);
    }
}

INSTANTIATE_TEST_SUITE_P(
    ServerStatement, AcceptedStatement,
    testing::Values(AcceptedCase{"InsertWithTrailingSpace", insertText(u"1,2"_qs), InsertStatement{1, 2}},
                    AcceptedCase{"InsertWithoutTrailingSpace", insertText(u"1,2"_qs, u",GETDATE())"_qs),
                                 InsertStatement{1, 2}},
                    AcceptedCase{"InsertNegativeCenter", insertText(u"-5,7"_qs), InsertStatement{-5, 7}},
                    AcceptedCase{"InsertExtremes", insertText(u"-2147483648,2147483647"_qs),
                                 InsertStatement{-2147483647 - 1, 2147483647}},
                    AcceptedCase{"InsertLeadingZeros", insertText(u"007,0"_qs), InsertStatement{7, 0}},
                    AcceptedCase{"InsertMinusZero", insertText(u"-0,3"_qs), InsertStatement{0, 3}},
                    AcceptedCase{"DeleteOne", deleteText(u"3"_qs, u"9"_qs), DeleteStatement{3, {9}}},
                    AcceptedCase{"DeleteSeveralKeepsOrderAndDuplicates", deleteText(u"3"_qs, u"9,4,9,-1"_qs),
                                 DeleteStatement{3, {9, 4, 9, -1}}},
                    AcceptedCase{"DeleteNegativeCenter", deleteText(u"-2147483648"_qs, u"2147483647"_qs),
                                 DeleteStatement{-2147483647 - 1, {2147483647}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ParseStatement, AcceptsADeleteListing32767Ids) {
    QString list;
    std::vector<qint32> ids;
    for (qint32 id = 1; id <= 32767; ++id) {
        if (!list.isEmpty()) list += u',';
        list += QString::number(id * 3 - 50000);
        ids.push_back(id * 3 - 50000);
    }
    const auto parsed = parseStatement(deleteText(u"12"_qs, list));
    const auto* remove = std::get_if<DeleteStatement>(&parsed);
    ASSERT_NE(remove, nullptr) << describe(parsed).substr(0, 300);
    EXPECT_EQ(remove->centerId, 12);
    EXPECT_EQ(remove->employeeIds, ids);
}

// ---- everything else is refused, with a reason that says where ----

struct RefusedCase {
    const char* name;
    QString text;
    const char* reasonContains;
    friend void PrintTo(const RefusedCase& row, std::ostream* out) { *out << row.name; }
};

class RefusedStatement : public testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedStatement, IsRefusedWithAReason) {
    const auto& row = GetParam();
    const auto parsed = parseStatement(row.text);
    const auto* refusal = std::get_if<Refusal>(&parsed);
    ASSERT_NE(refusal, nullptr) << "accepted as " << describe(parsed);
    EXPECT_TRUE(refusal->reason.contains(QLatin1String(row.reasonContains))) << refusal->reason.toStdString();
}

const char* notAccepted = "not an accepted statement";
const char* notInteger = "expected a decimal integer";
const char* outOfRange = "out of the 32-bit range";

INSTANTIATE_TEST_SUITE_P(
    ServerStatement, RefusedStatement,
    testing::Values(
        RefusedCase{"Empty", u""_qs, notAccepted},
        RefusedCase{"InsertIntoAnotherTable",
                    u"INSERT INTO employees (CenterID,EmployeeID,RecordLastUpdated) VALUES (1,2,GETDATE()) "_qs,
                    "at character 1"},
        RefusedCase{"DeleteFromAnotherTable", u"DELETE FROM employees WHERE CenterID=1 AND EmployeeID IN(2)"_qs,
                    "at character 1"},
        RefusedCase{"Update", u"UPDATE CenterEmployeeCrossReference SET CenterID=1"_qs, notAccepted},
        RefusedCase{"Select", u"SELECT * FROM CenterEmployeeCrossReference"_qs, notAccepted},
        RefusedCase{"Drop", u"DROP TABLE CenterEmployeeCrossReference"_qs, notAccepted},
        RefusedCase{"InsertThenSecondStatement", insertText(u"1,2"_qs, u",GETDATE()); DROP TABLE employees"_qs),
                    "unexpected text after the statement"},
        RefusedCase{"DeleteThenSecondStatement", deleteText(u"1"_qs, u"2"_qs) + u";DELETE FROM employees"_qs,
                    "unexpected text after the statement at character 79"},
        RefusedCase{"TrailingLineComment", insertText(u"1,2"_qs, u",GETDATE()) --"_qs), "unexpected text"},
        RefusedCase{"BlockCommentInList", deleteText(u"1"_qs, u"2/**/"_qs), "expected \")\" at character 78"},
        RefusedCase{"BlockCommentBeforeValues", insertHead + u"/*x*/1,2,GETDATE())"_qs, notInteger},
        RefusedCase{"SpaceBeforeInList", deleteHead + u"1 AND EmployeeID IN (1)"_qs,
                    "expected \" AND EmployeeID IN(\""},
        RefusedCase{"EmptyInList", deleteText(u"1"_qs, u""_qs), notInteger},
        RefusedCase{"TrailingCommaInList", deleteText(u"1"_qs, u"1,"_qs), notInteger},
        RefusedCase{"SpaceInsideList", deleteText(u"1"_qs, u"1, 2"_qs), notInteger},
        RefusedCase{"UnclosedList", deleteHead + u"1 AND EmployeeID IN(1,2"_qs, "expected \")\""},
        RefusedCase{"Decimal", insertText(u"1,1.5"_qs), notInteger},
        RefusedCase{"Exponent", insertText(u"1e3,2"_qs), notInteger},
        RefusedCase{"AboveRange", insertText(u"1,2147483648"_qs), outOfRange},
        RefusedCase{"BelowRange", deleteText(u"-2147483649"_qs, u"1"_qs), outOfRange},
        RefusedCase{"FarAboveRange", deleteText(u"1"_qs, u"99999999999999999999999"_qs), outOfRange},
        RefusedCase{"Hexadecimal", insertText(u"0x10,2"_qs), notInteger},
        RefusedCase{"LeadingPlus", insertText(u"+1,2"_qs), notInteger},
        RefusedCase{"LoneMinus", insertText(u"-,2"_qs), notInteger},
        RefusedCase{"Quoted", insertText(u"1,'7'"_qs), notInteger},
        RefusedCase{"NullValue", insertText(u"1,NULL"_qs), notInteger},
        RefusedCase{"NonAsciiDigits", insertText(u"1,\u0661"_qs), notInteger},
        RefusedCase{"SpaceAfterComma", insertText(u"1, 2"_qs), notInteger},
        RefusedCase{"LiteralInsteadOfGetDate", insertText(u"1,2"_qs, u",'2020-01-01') "_qs),
                    "expected \",GETDATE())\""},
        RefusedCase{
            "LowercaseInsert",
            u"insert into CenterEmployeeCrossReference (CenterID,EmployeeID,RecordLastUpdated) values (1,2,getdate())"_qs,
            notAccepted},
        RefusedCase{"LowercaseDelete",
                    u"delete from CenterEmployeeCrossReference where CenterID=1 and EmployeeID in(2)"_qs, notAccepted},
        RefusedCase{"MixedCaseKeyword", deleteHead + u"1 and EmployeeID IN(1)"_qs, "at character 58"},
        RefusedCase{
            "DoubledSpace",
            u"INSERT  INTO CenterEmployeeCrossReference (CenterID,EmployeeID,RecordLastUpdated) VALUES (1,2,GETDATE())"_qs,
            "at character 1"},
        RefusedCase{"TwoTrailingSpaces", insertText(u"1,2"_qs, u",GETDATE())  "_qs), "unexpected text"},
        RefusedCase{"TrailingSpaceOnDelete", deleteText(u"1"_qs, u"2"_qs) + u' ', "unexpected text"},
        RefusedCase{"TrailingNewline", insertText(u"1,2"_qs, u",GETDATE())\n"_qs), "unexpected text"},
        RefusedCase{"TrailingGarbage", insertText(u"1,2"_qs, u",GETDATE()) x"_qs), "unexpected text"},
        RefusedCase{"LeadingSpace", u" "_qs + insertText(u"1,2"_qs), notAccepted}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- whole bodies ----

QByteArray field(const QString& statement) { return "SQL=" + QUrl::toPercentEncoding(statement, "(),=") + '&'; }

struct BatchCase {
    const char* name;
    QByteArray body;
    qsizetype maxBytes;
    std::vector<int> acceptedFieldNumbers;  // empty: refused
    BatchRefusal::Kind kind = BatchRefusal::Kind::BadRequest;
    const char* reasonContains = "";
    friend void PrintTo(const BatchCase& row, std::ostream* out) { *out << row.name; }
};

class BatchBody : public testing::TestWithParam<BatchCase> {};

TEST_P(BatchBody, IsAcceptedWholeOrRefusedWhole) {
    const auto& row = GetParam();
    const auto parsed = parseBatch(row.body, row.maxBytes);
    if (row.acceptedFieldNumbers.empty()) {
        const auto* refusal = std::get_if<BatchRefusal>(&parsed);
        ASSERT_NE(refusal, nullptr) << "accepted";
        EXPECT_EQ(refusal->kind, row.kind);
        EXPECT_TRUE(refusal->reason.contains(QLatin1String(row.reasonContains))) << refusal->reason.toStdString();
        return;
    }
    const auto* batch = std::get_if<Batch>(&parsed);
    ASSERT_NE(batch, nullptr) << std::get<BatchRefusal>(parsed).reason.toStdString();
    std::vector<int> numbers;
    for (const auto& statement : batch->statements) numbers.push_back(statement.fieldNumber);
    EXPECT_EQ(numbers, row.acceptedFieldNumbers);
}

std::vector<int> oneTo(int last) {
    std::vector<int> numbers(std::size_t(last), 0);
    std::iota(numbers.begin(), numbers.end(), 1);
    return numbers;
}

const QString goodInsert = insertText(u"1,2"_qs);
const QString goodDelete = deleteText(u"1"_qs, u"2,3"_qs);
using Kind = BatchRefusal::Kind;

INSTANTIATE_TEST_SUITE_P(
    ServerBatch, BatchBody,
    testing::Values(
        BatchCase{"TwoStatementsWithTrailingAmpersand", field(goodInsert) + field(goodDelete), maxBatchBytes, {1, 2}},
        BatchCase{"WithoutTrailingAmpersand", field(goodInsert).chopped(1), maxBatchBytes, {1}},
        BatchCase{"RawPunctuationAndPlusForSpace",
                  "SQL=DELETE+FROM+CenterEmployeeCrossReference+WHERE+CenterID=1+AND+EmployeeID+IN(2,3)&",
                  maxBatchBytes,
                  {1}},
        BatchCase{"EmptyPairsAreNotCounted", "&&" + field(goodInsert) + "&" + field(goodDelete), maxBatchBytes, {1, 2}},
        BatchCase{"Empty", "", maxBatchBytes, {}, Kind::BadRequest, "empty body"},
        BatchCase{"OnlySeparators", "&&&", maxBatchBytes, {}, Kind::BadRequest, "no SQL field"},
        BatchCase{"OtherFieldName",
                  field(goodInsert) + "sql=x&",
                  maxBatchBytes,
                  {},
                  Kind::BadRequest,
                  "field 2: unexpected field name (only SQL is accepted)"},
        BatchCase{"ThirdFieldBad",
                  field(goodInsert) + field(goodDelete) + field(u"DROP TABLE employees"_qs),
                  maxBatchBytes,
                  {},
                  Kind::BadRequest,
                  "field 3: not an accepted statement"},
        BatchCase{"BadFieldCountedAfterEmptyPairs",
                  "&&" + field(goodInsert) + "&&SQL=x",
                  maxBatchBytes,
                  {},
                  Kind::BadRequest,
                  "field 2:"},
        BatchCase{"MalformedEscape",
                  field(goodInsert) + "SQL=%G1&",
                  maxBatchBytes,
                  {},
                  Kind::BadRequest,
                  "field 2: malformed percent escape"},
        BatchCase{
            "PairWithoutEquals", field(goodInsert) + "SQL&", maxBatchBytes, {}, Kind::BadRequest, "field 2: no '='"},
        BatchCase{"OverTheLimit",
                  field(goodInsert) + field(goodInsert),
                  2 * field(goodInsert).size() - 1,
                  {},
                  Kind::TooLarge,
                  "at most"},
        BatchCase{"AtTheLimit", field(goodInsert) + field(goodInsert), 2 * field(goodInsert).size(), {1, 2}},
        // A hostile body is refused at its first bad field, before the rest is decoded.
        BatchCase{"ManyEmptyFields",
                  QByteArray("a=&").repeated(1000000),
                  maxBatchBytes,
                  {},
                  Kind::BadRequest,
                  "field 1: unexpected field name"},
        BatchCase{"LargestBatch", field(goodInsert).repeated(maxBatchStatements), maxBatchBytes,
                  oneTo(maxBatchStatements)},
        BatchCase{"MoreFieldsThanTheLargestBatch",
                  field(goodInsert).repeated(maxBatchStatements + 1),
                  maxBatchBytes,
                  {},
                  Kind::TooLarge,
                  "field 32768: more than 32767 fields"},
        BatchCase{"FieldLongerThanAnyStatement",
                  "SQL=" + QByteArray(maxFieldBytes, '1') + "&",
                  maxBatchBytes,
                  {},
                  Kind::TooLarge,
                  "field 1: longer than"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
