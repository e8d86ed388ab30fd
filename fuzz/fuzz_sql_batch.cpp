// Whatever arrives as a batch, the parser either refuses it or returns statements that mean the
// same when the control writes them afresh: the accepted batch, written back in the control's
// own form and parsed again, gives the same statements. A batch over the control's 16-bit
// statement count is refused.

#include "commit/sql_batch.h"
#include "server/sql_batch.h"

#include <QStringList>
#include <cstdio>
#include <cstdlib>

namespace {

using namespace centeremp::server;

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "sql batch: %s\n", what);
    std::abort();
}

QString ids(const std::vector<qint32>& employeeIds) {
    QStringList texts;
    for (qint32 id : employeeIds) texts << QString::number(id);
    return texts.join(u',');
}

// The statement texts exactly as the control builds them.
QString controlText(const Statement& statement) {
    if (const auto* insert = std::get_if<InsertStatement>(&statement))
        return QStringLiteral(
                   "INSERT INTO CenterEmployeeCrossReference (CenterID,EmployeeID,RecordLastUpdated) "
                   "VALUES (%1,%2,GETDATE()) ")
            .arg(insert->centerId)
            .arg(insert->employeeId);
    const auto& removal = std::get<DeleteStatement>(statement);
    return QStringLiteral("DELETE FROM CenterEmployeeCrossReference WHERE CenterID=%1 AND EmployeeID IN(%2)")
        .arg(removal.centerId)
        .arg(ids(removal.employeeIds));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto result = parseBatch(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    const auto* batch = std::get_if<Batch>(&result);
    if (!batch) return 0;
    if (batch->statements.empty()) fail("accepted a batch without statements");
    if (batch->statements.size() > size_t(maxBatchStatements))
        fail("accepted more statements than the control can send");
    QStringList texts;
    int previousField = 0;
    for (const BatchStatement& s : batch->statements) {
        if (s.fieldNumber <= previousField) fail("field numbers do not rise");
        previousField = s.fieldNumber;
        if (const auto* removal = std::get_if<DeleteStatement>(&s.statement); removal && removal->employeeIds.empty())
            fail("accepted a DELETE without IDs");
        texts << controlText(s.statement);
    }
    const auto again = parseBatch(requestBody(texts).toLatin1());
    const auto* reread = std::get_if<Batch>(&again);
    if (!reread) fail("the control's form of an accepted batch is refused");
    if (reread->statements.size() != batch->statements.size()) fail("the control's form reads as another count");
    for (size_t i = 0; i < batch->statements.size(); ++i)
        if (!(reread->statements[i].statement == batch->statements[i].statement))
            fail("the control's form reads otherwise");
    return 0;
}
