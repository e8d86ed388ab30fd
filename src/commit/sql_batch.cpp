#include "commit/sql_batch.h"

#include "commit/url_encoding.h"
#include "controls/report_list.h"
#include "form/rows.h"
#include "rules/int16.h"
#include "rules/numeric_text.h"

namespace {

QString insertStatement(qint32 centerID, const QString& employeeID) {
    return QStringLiteral("INSERT INTO CenterEmployeeCrossReference (CenterID,EmployeeID,RecordLastUpdated) VALUES (") +
           QString::number(centerID) + u',' + employeeID + QStringLiteral(",GETDATE()) ");
}

QString deleteStatement(qint32 centerID, const QString& idList) {
    return QStringLiteral("DELETE FROM CenterEmployeeCrossReference WHERE CenterID=") + QString::number(centerID) +
           QStringLiteral(" AND EmployeeID ") + idList;
}

}  // namespace

SqlBatch buildSqlBatch(const ReportList& lstSelectedEmployees, const ReportList& lstEmployees, qint32 centerID) {
    SqlBatch batch;
    const auto checked = [&batch](const QString& id) {
        if (!numeric_text::isPlainInt32(id)) batch.invalidIds << id;
    };

    for (int i = 1; i <= lstSelectedEmployees.count(); ++i) {
        const ListRow* row = lstSelectedEmployees.item(i);
        if (!isPending(row->subItem(kIdCopyColumn))) continue;
        checked(row->text());
        batch.statements << insertStatement(centerID, row->text());
    }

    QString idList = QStringLiteral("IN(");
    bool pendingSeen = false;
    for (int i = 1; i <= lstEmployees.count(); ++i) {
        const ListRow* row = lstEmployees.item(i);
        if (!isPending(row->subItem(kIdCopyColumn))) continue;
        checked(row->text());
        idList += row->text() + u',';
        pendingSeen = true;
    }
    if (pendingSeen) {
        idList.chop(1);
        idList += u')';
        batch.statements << deleteStatement(centerID, idList);
    }
    return batch;
}

QString requestBody(const QStringList& statements) {
    const Int16 count = Int16::from(statements.size());
    QString body;
    for (int i = 0; i < count; ++i) body += QStringLiteral("SQL=") + urlEncode(statements[i]) + u'&';
    return body;
}
