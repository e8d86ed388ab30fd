#pragma once

#include <QString>
#include <QStringList>

class ReportList;

// The statements for the pending rows: one INSERT per pending row of the selected list, in its
// order, then one DELETE for all pending rows of the non-selected list.
struct SqlBatch {
    QStringList statements;
    // Pending rows whose ID is not a plain 32-bit integer. IDs go into the statements
    // unquoted, so a batch with any of these must not be sent.
    QStringList invalidIds;
};

SqlBatch buildSqlBatch(const ReportList& lstSelectedEmployees, const ReportList& lstEmployees, qint32 centerID);

// The form body: each statement as one SQL field, every field followed by "&". Raises overflow
// for more statements than the 16-bit statement counter can send.
QString requestBody(const QStringList& statements);

inline const QString kCommitHeader = QStringLiteral("Content-Type: application/x-www-form-urlencoded");
