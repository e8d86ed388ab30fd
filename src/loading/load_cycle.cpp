#include "loading/load_cycle.h"
#include "rules/texts.h"

#include "form/control.h"
#include "loading/feed_readers.h"
#include "net/feed_source.h"
#include "rules/runtime_error.h"
#include "surface/ui_services.h"

namespace {

// The fetch and the parse; a failure of either leaves the document without a root, so the
// first reader fails on it.
void loadFeed(FeedDocument& document, FeedSource& source, const QString& address) {
    try {
        document.parse(source.get(address));
    } catch (const RuntimeError& error) {
        document.fail(error.description());
    }
}

QString failureReason(const ControlState& state, const std::exception& error) {
    if (state.FeedDocument && !state.FeedDocument->failure().isEmpty()) return state.FeedDocument->failure();
    if (const auto* runtime = dynamic_cast<const RuntimeError*>(&error)) return runtime->description();
    return QString::fromUtf8(error.what());
}

}  // namespace

QString feedAddress(const QString& serverName, qint32 centerID) {
    return serverName + QStringLiteral("/CenterEmployee.asp?centerID=") + QString::number(centerID);
}

LoadOutcome LoadCenterEmployees(Control& control, qint32 centerID, const QString& serverName) {
    Form& form = control.form();
    ControlState& state = control.state();
    try {
        form.cmdCommit.setEnabled(false);
        control.setMousePointer(kPointerBusy);
        state.CenterID = centerID;
        if (!serverName.isEmpty()) state.ServerName = serverName;
        form.lstEmployees.clear();
        form.lstSelectedEmployees.clear();
        state.FeedDocument = std::make_unique<FeedDocument>();
        loadFeed(*state.FeedDocument, control.feed(), feedAddress(state.ServerName, state.CenterID));
        LoadEmployeeCounts(control);
        LoadNonSelectedEmployees(control);
        LoadSelectedEmployees(control);
        state.FeedDocument.reset();
        form.prbLoad.setValue(0);
        control.setMousePointer(kPointerDefault);
        control.setNotice(QString());
        return {true, {}};
    } catch (const std::exception& error) {
        control.setMousePointer(kPointerDefault);
        // An empty list must not pass for a centre without employees.
        const QString reason = failureReason(state, error);
        // Up to 16 MiB that nothing reads again: the next load parses a document of its own.
        state.FeedDocument.reset();
        control.setNotice(Texts::tr("The employees could not be loaded: %1.").arg(reason));
        return {false, reason};
    }
}
