#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <variant>
#include <vector>

namespace centeremp::server {

// The two statement shapes the desktop control sends. The server never runs the text it was
// given: it recognises one of these shapes, keeps the integers, and binds them itself.

// INSERT INTO CenterEmployeeCrossReference (CenterID,EmployeeID,RecordLastUpdated) VALUES (C,E,GETDATE())
struct InsertStatement {
    qint32 centerId = 0;
    qint32 employeeId = 0;
    friend bool operator==(const InsertStatement&, const InsertStatement&) = default;
};

// DELETE FROM CenterEmployeeCrossReference WHERE CenterID=C AND EmployeeID IN(E1,...,En)
struct DeleteStatement {
    qint32 centerId = 0;
    std::vector<qint32> employeeIds;
    friend bool operator==(const DeleteStatement&, const DeleteStatement&) = default;
};

struct Refusal {
    QString reason;
};

using Statement = std::variant<InsertStatement, DeleteStatement>;

std::variant<InsertStatement, DeleteStatement, Refusal> parseStatement(QStringView text);

struct BatchStatement {
    int fieldNumber = 0;  // 1-based, as reported back to the operator
    Statement statement;
};

struct Batch {
    std::vector<BatchStatement> statements;
};

// The centres a batch names, each once, in the order they first appear.
std::vector<qint32> centresOf(const Batch& batch);

struct BatchRefusal {
    enum class Kind { BadRequest, TooLarge };
    Kind kind = Kind::BadRequest;
    QString reason;
};

// Well above the largest batch the control can produce (32767 INSERT fields of about 140
// bytes each, or one DELETE listing 32767 IDs).
inline constexpr qsizetype maxBatchBytes = 16 * 1024 * 1024;

// The control counts its statements in 16 bits, so no batch of it has more.
inline constexpr int maxBatchStatements = 32767;

// Twice the longest field the control can write (a DELETE of 32767 IDs of 11 characters with
// escaped commas is about 460 KB); bounds what one field costs to decode.
inline constexpr qsizetype maxFieldBytes = 1024 * 1024;

// Decodes a form body of SQL=... fields and parses each one as it is read. Any bad field
// refuses the whole batch, so either every statement is applied or none is.
std::variant<Batch, BatchRefusal> parseBatch(QByteArrayView body, qsizetype maxBytes = maxBatchBytes);

}  // namespace centeremp::server
