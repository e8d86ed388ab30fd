#include "commit/commit.h"
#include "rules/texts.h"

#include "commit/sql_batch.h"
#include "form/control.h"
#include "net/transfer.h"
#include "surface/ui_services.h"

namespace {

QString information() { return Texts::tr("Information"); }

CommitOutcome refuseInvalidIds(Control& control, const QStringList& invalidIds) {
    const QString ids = invalidIds.join(QStringLiteral(", "));
    control.setMousePointer(kPointerDefault);
    control.ui().messageBox(Texts::tr("Nothing was saved: these employee IDs are not valid numbers: %1").arg(ids),
                            kStyleCritical, information());
    return {false, Texts::tr("employee IDs that are not valid numbers: %1").arg(ids), {}};
}

// While the batch is on its way the lists take no moves; the notice says so.
void beginWait(Control& control) {
    control.state().CommitWaiting = true;
    control.setNotice(Texts::tr("Saving…"));
}

// Lets the window live while the server works; moves wait until the commit has ended.
void waitForTransfer(Control& control) {
    while (control.transfer().stillExecuting()) control.ui().waitForEvents();
}

}  // namespace

std::optional<CommitOutcome> postBatch(Control& control) {
    Form& form = control.form();
    try {
        control.setMousePointer(kPointerBusy);
        const SqlBatch batch = buildSqlBatch(form.lstSelectedEmployees, form.lstEmployees, control.state().CenterID);
        if (!batch.invalidIds.isEmpty()) return refuseInvalidIds(control, batch.invalidIds);
        const QString url = control.state().ServerName + QStringLiteral("/CenterEmployee.asp");
        const QString body = requestBody(batch.statements);
        if (body.isEmpty()) {
            control.setMousePointer(kPointerDefault);
            return CommitOutcome{true, {}, {}};
        }
        control.transfer().execute(url, QStringLiteral("Post"), body.toLatin1(), kCommitHeader);
        beginWait(control);
        return std::nullopt;
    } catch (const std::exception& error) {
        control.setMousePointer(kPointerDefault);
        // "Occoured" is kept on purpose: the control's own text, which hosts and stored scripts may match.
        control.ui().messageBox(Texts::tr("Error Occoured"), kStyleCritical, information(),
                                QString::fromUtf8(error.what()));
        return CommitOutcome{false, QString::fromUtf8(error.what()), {}};
    }
}

CommitOutcome batchOutcome(Control& control) {
    control.state().CommitWaiting = false;
    control.setNotice(QString());
    control.setMousePointer(kPointerDefault);
    const Transfer& transfer = control.transfer();
    return {transfer.delivered(), transfer.failure(), transfer.reply()};
}

CommitOutcome SaveToDatabase(Control& control) {
    if (std::optional<CommitOutcome> ended = postBatch(control)) return *ended;
    waitForTransfer(control);
    return batchOutcome(control);
}

std::optional<CommitOutcome> beginCommitClick(Control& control) {
    Form& form = control.form();
    disableMoveButtons(form);
    form.cmdCommit.setEnabled(false);
    if (std::optional<CommitOutcome> ended = postBatch(control)) return endCommitClick(control, *ended);
    return std::nullopt;
}

CommitOutcome endCommitClick(Control& control, const CommitOutcome& outcome) {
    Form& form = control.form();
    form.prbLoad.setValue(0);
    if (!outcome.delivered) {
        // Reloading now would put the database's state over moves that never reached it.
        form.cmdCommit.setEnabled(true);
        control.setNotice(Texts::tr("The changes were not saved (%1). Your moves are kept: press Commit to "
                                    "Database to try again.")
                              .arg(outcome.failure));
    }
    return outcome;
}

CommitOutcome cmdCommitClick(Control& control) {
    if (std::optional<CommitOutcome> ended = beginCommitClick(control)) return *ended;
    waitForTransfer(control);
    return endCommitClick(control, batchOutcome(control));
}
