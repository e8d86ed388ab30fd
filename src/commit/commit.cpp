#include "commit/commit.h"

#include "commit/sql_batch.h"
#include "control/center_employee.h"
#include "loading/load_cycle.h"
#include "platform/http_transfer.h"
#include "platform/ui_services.h"

namespace {

const QString kInformation = QStringLiteral("Information");

CommitOutcome refuseInvalidIds(CenterEmployee& c, const QStringList& invalidIds) {
    const QString ids = invalidIds.join(QStringLiteral(", "));
    c.setMousePointer(kPointerDefault);
    c.ui().messageBox(QStringLiteral("Nothing was saved: these employee IDs are not valid numbers: %1").arg(ids),
                      kStyleCritical, kInformation);
    return {false, QStringLiteral("employee IDs that are not valid numbers: %1").arg(ids)};
}

// Lets the window live while the server works; moves wait until the commit has ended.
void waitForTransfer(CenterEmployee& c) {
    ControlState& state = c.state();
    const bool outerWait = !state.CommitWaiting;
    state.CommitWaiting = true;
    c.setNotice(QStringLiteral("Saving\u2026"));
    struct EndOfWait {
        CenterEmployee& c;
        bool outer;
        ~EndOfWait() {
            if (!outer) return;
            c.state().CommitWaiting = false;
            c.setNotice(QString());
        }
    } endOfWait{c, outerWait};
    while (c.transfer().stillExecuting()) c.ui().waitForEvents();
}

}  // namespace

CommitOutcome SaveToDatabase(CenterEmployee& c) {
    Form& form = c.form();
    try {
        c.setMousePointer(kPointerBusy);
        const SqlBatch batch = buildSqlBatch(form.lstSelectedEmployees, form.lstEmployees, c.state().CenterID);
        if (!batch.invalidIds.isEmpty()) return refuseInvalidIds(c, batch.invalidIds);
        const QString url = c.state().ServerName + QStringLiteral("/CenterEmployee.asp");
        const QString body = requestBody(batch.statements);
        if (body.isEmpty()) {
            c.setMousePointer(kPointerDefault);
            return {true, {}};
        }
        Transfer& transfer = c.transfer();
        transfer.execute(url, QStringLiteral("Post"), body.toLatin1(), kCommitHeader);
        waitForTransfer(c);
        c.setMousePointer(kPointerDefault);
        return {transfer.delivered(), transfer.failure()};
    } catch (const std::exception& error) {
        c.setMousePointer(kPointerDefault);
        c.ui().messageBox(QStringLiteral("Error Occoured"), kStyleCritical, kInformation);
        return {false, QString::fromUtf8(error.what())};
    }
}

void cmdCommitClick(CenterEmployee& c) {
    Form& form = c.form();
    form.cmdAdd.setEnabled(false);
    form.cmdAddAll.setEnabled(false);
    form.cmdDelete.setEnabled(false);
    form.cmdRemoveAll.setEnabled(false);
    form.cmdCommit.setEnabled(false);
    const CommitOutcome outcome = SaveToDatabase(c);
    form.prbLoad.setValue(0);
    if (!outcome.delivered) {
        // Reloading now would put the database's state over moves that never reached it.
        form.cmdCommit.setEnabled(true);
        c.setNotice(QStringLiteral("The changes were not saved (%1). Your moves are kept: press Commit to Database to try again.")
                        .arg(outcome.failure));
        return;
    }
    LoadCenterEmployees(c, c.state().CenterID, QString());
}
