#pragma once

// The two statement shapes the control sends, and a form field carrying one.

#include <QByteArray>
#include <QString>

#include <vector>

namespace centeremp::servertest {

QString insertStatement(qint32 centerId, qint32 employeeId);
QString deleteStatement(qint32 centerId, const std::vector<qint32>& employeeIds);
QByteArray sqlField(const QString& statement);  // "SQL=<encoded>&", as the control writes it

}  // namespace centeremp::servertest
