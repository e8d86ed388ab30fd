#include "test_statements.h"

#include <QUrl>

namespace centeremp::servertest {

QString insertStatement(qint32 centerId, qint32 employeeId) {
    return QStringLiteral(
               "INSERT INTO CenterEmployeeCrossReference (CenterID,EmployeeID,RecordLastUpdated) "
               "VALUES (%1,%2,GETDATE()) ")
        .arg(centerId)
        .arg(employeeId);
}

QString deleteStatement(qint32 centerId, const std::vector<qint32>& employeeIds) {
    QString list;
    for (qint32 id : employeeIds) {
        if (!list.isEmpty()) list += u',';
        list += QString::number(id);
    }
    return QStringLiteral("DELETE FROM CenterEmployeeCrossReference WHERE CenterID=%1 AND EmployeeID IN(%2)")
        .arg(centerId)
        .arg(list);
}

QByteArray sqlField(const QString& statement) {
    // Spaces as '+', everything but letters and digits escaped: the form the control posts.
    QByteArray encoded = QUrl::toPercentEncoding(statement.toLatin1(), " ");
    encoded.replace(' ', '+');
    return "SQL=" + encoded + '&';
}

}  // namespace centeremp::servertest
