// The commit contract between the control and the server: whatever rows are pending, the server
// reads exactly the statements the control meant (same kinds, order, centre and employee IDs),
// or the control refuses to send because an ID is not a plain 32-bit integer.

#include "commit/sql_batch.h"
#include "commit/url_encoding.h"
#include "controls/report_list.h"
#include "form/rows.h"
#include "rules/numeric_text.h"
#include "rules/runtime_error.h"
#include "server/sql_batch.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QString>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using centeremp::server::DeleteStatement;
using centeremp::server::InsertStatement;
using centeremp::server::Statement;

[[noreturn]] void fail(const char* what, const QString& detail = {}) {
    std::fprintf(stderr, "commit contract: %s %s\n", what, qPrintable(detail));
    std::abort();
}

// An ID text: mostly numbers the control really holds, sometimes anything at all.
QString idText(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: return QString::number(in.ConsumeIntegral<qint32>());
    case 1: return QString::number(in.ConsumeIntegralInRange<qint64>(-99999999999LL, 99999999999LL));
    default: {
        const std::string bytes = in.ConsumeRandomLengthString(24);
        return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    }
    }
}

// The marker column as the moves leave it: the padded ID, with a letter when pending; or any text.
QString idColumn(FuzzedDataProvider& in, const QString& id, bool& pending) {
    const int kind = in.ConsumeIntegralInRange(0, 3);
    QString column;
    if (kind == 0)
        column = numeric_text::formatPadded(id);
    else if (kind == 1)
        column = numeric_text::formatPadded(id) + kMarkAssign;
    else if (kind == 2)
        column = numeric_text::formatPadded(id) + kMarkUnassign;
    else {
        const std::string bytes = in.ConsumeRandomLengthString(12);
        column = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    }
    pending = !numeric_text::isNumeric(column);
    return column;
}

void fill(FuzzedDataProvider& in, ReportList& list, int rows) {
    for (int i = 0; i < rows && in.remaining_bytes() > 0; ++i) {
        const QString id = idText(in);
        ListRow* row = list.add(id);
        const std::string name = in.ConsumeRandomLengthString(16);
        list.setSubItem(row, kNameColumn, QString::fromUtf8(name.data(), qsizetype(name.size())));
        bool pending = false;
        list.setSubItem(row, kIdCopyColumn, idColumn(in, id, pending));
    }
}

// What the control means: an INSERT per pending selected row in item order, then one DELETE for
// the pending rows of the other list. Pending IDs that are not plain integers land in invalid.
std::vector<Statement> meantStatements(const ReportList& selected, const ReportList& employees, qint32 centerId,
                                       QStringList& invalid) {
    std::vector<Statement> meant;
    const auto pendingIds = [&invalid](const ReportList& list, const auto& take) {
        for (int i = 1; i <= list.count(); ++i) {
            const ListRow* row = list.item(i);
            if (!isPending(row->subItem(kIdCopyColumn))) continue;
            if (!numeric_text::isPlainInt32(row->text()))
                invalid << row->text();
            else
                take(row->text().toInt());
        }
    };
    pendingIds(selected, [&](qint32 id) { meant.push_back(InsertStatement{centerId, id}); });
    DeleteStatement removal{centerId, {}};
    pendingIds(employees, [&](qint32 id) { removal.employeeIds.push_back(id); });
    if (!removal.employeeIds.empty()) meant.push_back(removal);
    return meant;
}

// The server reads exactly the statements meant, numbered from 1.
void checkServerReads(const QString& body, const std::vector<Statement>& meant) {
    for (const QChar c : body)
        if (c.unicode() > 0x7E || c.unicode() < 0x21) fail("the body is not plain ASCII", body.left(200));
    const auto parsed = centeremp::server::parseBatch(body.toLatin1());
    if (const auto* refusal = std::get_if<centeremp::server::BatchRefusal>(&parsed))
        fail("the server refused the control's batch:", refusal->reason);
    const auto& statements = std::get<centeremp::server::Batch>(parsed).statements;
    if (statements.size() != meant.size()) fail("the server read another number of statements");
    for (size_t i = 0; i < meant.size(); ++i) {
        if (statements[i].fieldNumber != int(i) + 1) fail("statement field numbers are off");
        if (!(statements[i].statement == meant[i]))
            fail("the server read another statement at", QString::number(i + 1));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const qint32 centerId = in.ConsumeIntegral<qint32>();
    ReportList selected(QStringLiteral("lstSelectedEmployees"), 3975);
    ReportList employees(QStringLiteral("lstEmployees"), 3975);
    for (ReportList* list : {&selected, &employees})
        for (int c = 0; c < ListRow::kColumnCount; ++c) list->addColumn(QStringLiteral("c"), 100);
    // Large counts only now and then, so most inputs stay fast but the 16-bit limit is reached.
    const bool large = in.ConsumeIntegralInRange(0, 63) == 0;
    fill(in, selected, in.ConsumeIntegralInRange(0, large ? 33000 : 40));
    fill(in, employees, in.ConsumeIntegralInRange(0, large ? 33000 : 40));

    QStringList invalid;
    const std::vector<Statement> meant = meantStatements(selected, employees, centerId, invalid);
    const SqlBatch batch = buildSqlBatch(selected, employees, centerId);
    if (!invalid.isEmpty()) {
        // Any pending ID that is not a plain integer stops the commit, and is named.
        for (const QString& id : invalid)
            if (!batch.invalidIds.contains(id)) fail("an invalid ID was not refused:", id);
        for (const QString& id : batch.invalidIds)
            if (numeric_text::isPlainInt32(id)) fail("a valid ID was called invalid", id);
        return 0;
    }
    if (!batch.invalidIds.isEmpty()) fail("refused a batch of valid IDs", batch.invalidIds.join(u','));

    QString body;
    try {
        body = requestBody(batch.statements);
    } catch (const RuntimeError& e) {
        if (e.number() != errors::Overflow || batch.statements.size() <= 32767)
            fail("requestBody raised", e.description());
        return 0;  // more statements than the 16-bit counter sends: nothing goes out
    }
    if (meant.empty()) {
        if (!body.isEmpty()) fail("a body without pending rows", body.left(200));
        return 0;
    }
    checkServerReads(body, meant);
    return 0;
}
