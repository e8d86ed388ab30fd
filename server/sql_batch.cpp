#include "server/sql_batch.h"

#include <algorithm>

#include "server/decimal_int32.h"
#include "server/form_decoding.h"

#include <optional>

namespace centeremp::server {

namespace {

constexpr QStringView insertPrefix =
    u"INSERT INTO CenterEmployeeCrossReference (CenterID,EmployeeID,RecordLastUpdated) VALUES (";
constexpr QStringView insertSuffix = u",GETDATE())";
constexpr QStringView deletePrefix = u"DELETE FROM CenterEmployeeCrossReference WHERE CenterID=";
constexpr QStringView deleteMiddle = u" AND EmployeeID IN(";

// Reads a statement left to right; the first mismatch becomes the refusal reason, with a
// 1-based character position so the operator can find it in a long statement.
class StatementReader {
public:
    explicit StatementReader(QStringView text) : text_(text) {}

    bool atEnd() const { return pos_ == text_.size(); }
    bool failed() const { return error_.has_value(); }
    QString error() const { return error_.value_or(QString()); }

    bool peek(QChar c) const { return pos_ < text_.size() && text_[pos_] == c; }

    bool skipIf(QChar c) {
        if (!peek(c)) return false;
        ++pos_;
        return true;
    }

    void expect(QStringView literal) {
        if (failed()) return;
        if (text_.sliced(pos_).startsWith(literal)) {
            pos_ += literal.size();
            return;
        }
        fail(QStringLiteral("expected \"%1\"").arg(literal));
    }

    // A 32-bit integer as scanInt32 reads it, which must not run on into letters, digits, '.' or '_'.
    qint32 integer() {
        if (failed()) return 0;
        const Int32Scan number = scanInt32(text_.sliced(pos_));
        if (number.result == Int32Scan::Result::NoDigits || continuesLikeANumber(pos_ + number.length)) {
            fail(QStringLiteral("expected a decimal integer"));
            return 0;
        }
        if (number.result == Int32Scan::Result::OutOfRange) {
            fail(QStringLiteral("integer out of the 32-bit range"));
            return 0;
        }
        pos_ += number.length;
        return number.value;
    }

    void expectEnd() {
        if (!failed() && !atEnd()) fail(QStringLiteral("unexpected text after the statement"));
    }

private:
    // "1.5", "1e3", "0x10": report the value as not an integer rather than as a missing comma.
    bool continuesLikeANumber(qsizetype at) const {
        if (at >= text_.size()) return false;
        const QChar c = text_[at];
        return c.isLetterOrNumber() || c == u'.' || c == u'_';
    }

    void fail(const QString& what) {
        if (!error_) error_ = QStringLiteral("%1 at character %2").arg(what).arg(pos_ + 1);
    }

    QStringView text_;
    qsizetype pos_ = 0;
    std::optional<QString> error_;
};

Refusal refuse(const QString& detail) { return Refusal{QStringLiteral("not an accepted statement: %1").arg(detail)}; }

std::variant<InsertStatement, DeleteStatement, Refusal> parseInsert(QStringView text) {
    StatementReader reader(text);
    InsertStatement insert;
    reader.expect(insertPrefix);
    insert.centerId = reader.integer();
    reader.expect(u",");
    insert.employeeId = reader.integer();
    reader.expect(insertSuffix);
    if (!reader.failed()) reader.skipIf(u' ');  // the control appends one space; accept the statement either way
    reader.expectEnd();
    if (reader.failed()) return refuse(reader.error());
    return insert;
}

std::variant<InsertStatement, DeleteStatement, Refusal> parseDelete(QStringView text) {
    StatementReader reader(text);
    DeleteStatement remove;
    reader.expect(deletePrefix);
    remove.centerId = reader.integer();
    reader.expect(deleteMiddle);
    do {
        const qint32 id = reader.integer();
        if (reader.failed()) break;
        remove.employeeIds.push_back(id);
    } while (reader.skipIf(u','));
    reader.expect(u")");
    reader.expectEnd();
    if (reader.failed()) return refuse(reader.error());
    return remove;
}

}  // namespace

std::variant<InsertStatement, DeleteStatement, Refusal> parseStatement(QStringView text) {
    if (text.startsWith(u"INSERT ")) return parseInsert(text);
    if (text.startsWith(u"DELETE ")) return parseDelete(text);
    return Refusal{
        QStringLiteral("not an accepted statement (only the assignment INSERT and the removal DELETE "
                       "on CenterEmployeeCrossReference are accepted)")};
}

std::vector<qint32> centresOf(const Batch& batch) {
    std::vector<qint32> named;
    for (const BatchStatement& entry : batch.statements) {
        const qint32 centre = std::visit([](const auto& shape) { return shape.centerId; }, entry.statement);
        if (std::find(named.begin(), named.end(), centre) == named.end()) named.push_back(centre);
    }
    return named;
}

std::variant<Batch, BatchRefusal> parseBatch(QByteArrayView body, qsizetype maxBytes) {
    using Kind = BatchRefusal::Kind;
    if (body.size() > maxBytes) {
        return BatchRefusal{
            Kind::TooLarge,
            QStringLiteral("the body has %1 bytes; at most %2 are accepted").arg(body.size()).arg(maxBytes)};
    }
    if (body.isEmpty()) return BatchRefusal{Kind::BadRequest, QStringLiteral("empty body: expected SQL=... fields")};

    Batch batch;
    bool tooLarge = false;
    auto error = readForm(
        body,
        [&batch, &tooLarge](int fieldNumber, const FormField& field) -> std::optional<QString> {
            if (fieldNumber > maxBatchStatements) {
                tooLarge = true;
                return QStringLiteral("more than %1 fields; no batch has more statements").arg(maxBatchStatements);
            }
            if (field.name != u"SQL") return QStringLiteral("unexpected field name (only SQL is accepted)");
            auto parsed = parseStatement(field.value);
            if (const auto* refusal = std::get_if<Refusal>(&parsed)) return refusal->reason;
            if (auto* insert = std::get_if<InsertStatement>(&parsed))
                batch.statements.push_back({fieldNumber, *insert});
            else
                batch.statements.push_back({fieldNumber, std::move(std::get<DeleteStatement>(parsed))});
            return std::nullopt;
        },
        maxFieldBytes);
    if (error) {
        return BatchRefusal{tooLarge || error->tooLong ? Kind::TooLarge : Kind::BadRequest,
                            QStringLiteral("field %1: %2").arg(error->fieldNumber).arg(error->reason)};
    }
    if (batch.statements.empty()) return BatchRefusal{Kind::BadRequest, QStringLiteral("the body has no SQL field")};
    return batch;
}

}  // namespace centeremp::server
