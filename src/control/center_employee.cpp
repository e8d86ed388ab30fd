#include "control/center_employee.h"
#include "rules/texts.h"

#include "commit/commit.h"
#include "commit/transfer_events.h"
#include "commit/url_encoding.h"
#include "finding/column_sorting.h"
#include "finding/find_panel.h"
#include "form/rows.h"
#include "loading/load_cycle.h"
#include "moving/list_shortcuts.h"
#include "moving/move_button_state.h"
#include "moving/multi_row_moves.h"
#include "moving/single_row_moves.h"
#include "net/transfer.h"
#include "rules/logging.h"
#include "rules/numeric_text.h"
#include "surface/ui_services.h"

#include <QTimer>
#include <cmath>
#include <utility>

namespace {

// Handlers without a trap of their own end here on a failure: quietly for the operator,
// keeping what they did, so that nothing reaches the host's event loop; the log says what ended.
template <typename Handler>
auto guarded(Handler handler) {
    return [handler](auto&&... args) {
        try {
            handler(std::forward<decltype(args)>(args)...);
        } catch (const std::exception& error) {
            qCWarning(lcCenterEmp) << "a handler ended on a failure:" << error.what();
        }
    };
}

// A move asked for while a commit waits (or a load fetches) does nothing: the reload would drop
// it without a word. A click still selects, but offers no move until the wait has ended.
// After a move, whoever embeds the control learns what a commit would now write.
template <typename Handler>
auto asMove(Control& control, Handler handler) {
    return [&control, handler](auto&&... args) {
        if (control.state().movesHeld()) return;
        handler(std::forward<decltype(args)>(args)...);
        control.reportPending();
    };
}
template <typename Handler>
auto offeringNoMoveWhileCommitWaits(Control& control, Handler handler) {
    return [&control, handler] {
        handler();
        if (control.state().movesHeld()) disableMoveButtons(control.form());
    };
}

// The ID column takes one share of a list's width and the name four; the 5.1 shares together
// leave a little room for the border and the scroll bar.
constexpr double kWidthShares = 5.1;
constexpr int kNameShares = 4;

// Adds the three columns to a list whose width was read as width; the ID copy stays hidden.
void addEmployeeColumns(ReportList& list, Int16 width) {
    list.addColumn(Texts::tr("ID"), double(width) / kWidthShares);
    list.addColumn(Texts::tr("Name"), double(Int16::from(kNameShares) * width) / kWidthShares);
    list.addColumn(Texts::tr("ID"), 0);
}

Int16 roundedWidth(const ReportList& list) { return Int16::from(qint64(std::nearbyint(list.width()))); }

}  // namespace

CenterEmployee::CenterEmployee(UiServices& ui, FeedSource& feed, Transfer& transfer) : Control(ui, feed, transfer) {
    initialise();
    routeEvents();
}

// The transfer may outlive the control: what the control connected to it goes with the control.
CenterEmployee::~CenterEmployee() {
    QObject::disconnect(transferEvents_);
    QObject::disconnect(commitEnd_);
}

void CenterEmployee::initialise() {
    Form& form = this->form();
    const Int16 selectedWidth = roundedWidth(form.lstSelectedEmployees);
    form.lstSelectedEmployees.setFullRowSelect(true);
    addEmployeeColumns(form.lstSelectedEmployees, selectedWidth);

    const Int16 employeesWidth = roundedWidth(form.lstEmployees);
    form.lstEmployees.setFullRowSelect(true);
    addEmployeeColumns(form.lstEmployees, employeesWidth);

    // Names in the operator's language order; the ID order stays that of the padded copies.
    form.lstSelectedEmployees.setLanguageOrder(kNameColumn);
    form.lstEmployees.setLanguageOrder(kNameColumn);

    form.lblVersionNumber.setCaption(
        Texts::tr("Version Number: %1.%2.%3").arg(kVersionMajor).arg(kVersionMinor).arg(kVersionRevision));
}

void CenterEmployee::routeEvents() {
    Control& control = *this;
    Form& form = this->form();
    routeMoveEvents();
    form.cmdFind.onClick = guarded([&control] { cmdFindClick(control); });
    form.findNextKey = guarded([&control](bool backwards) { findNextMatch(control, backwards); });
    form.cmdCommit.onClick = guarded([this] {
        if (startLoad_) return commitInBackground();
        endCommit(cmdCommitClick(*this));
    });
    form.optFind.onClick = guarded([&control](int index) { optFindClick(control, index); });
    form.txtVendorID.onChange = guarded([&control] { txtVendorIDChange(control); });
    form.txtVendorName.onChange = guarded([&control] { txtVendorNameChange(control); });
    form.lstEmployees.events.columnClick = [&form](int index) { columnClick(form.lstEmployees, index); };
    form.lstSelectedEmployees.events.columnClick = [&form](int index) {
        columnClick(form.lstSelectedEmployees, index);
    };
    transferEvents_ = QObject::connect(&transfer(), &Transfer::stateChanged, &transfer(),
                                       guarded([&control](int state) { Inet1StateChanged(control, state); }));
}

// Every way of moving rows, and the clicks that offer a move.
void CenterEmployee::routeMoveEvents() {
    Control& control = *this;
    Form& form = this->form();
    form.cmdAdd.onClick = asMove(control, [&control] { cmdAddClick(control); });
    form.cmdDelete.onClick = asMove(control, [&control] { cmdDeleteClick(control); });
    form.cmdAddAll.onClick = asMove(control, guarded([&control] { cmdAddAllClick(control); }));
    form.cmdRemoveAll.onClick = asMove(control, guarded([&control] { cmdRemoveAllClick(control); }));
    form.mnuRemove.items().front().onClick = asMove(control, guarded([&control] { mnuRemoveItemsClick(control); }));

    ReportList::Events& employees = form.lstEmployees.events;
    employees.click = offeringNoMoveWhileCommitWaits(control, guarded([&control] { lstEmployeesClick(control); }));
    employees.dblClick = asMove(control, guarded([&control] { lstEmployeesDblClick(control); }));
    employees.moveSelectedKey = [&control] { lstEmployeesMoveSelected(control); };

    ReportList::Events& selected = form.lstSelectedEmployees.events;
    selected.click = offeringNoMoveWhileCommitWaits(control, [&control] { lstSelectedEmployeesClick(control); });
    selected.dblClick = asMove(control, guarded([&control] { lstSelectedEmployeesDblClick(control); }));
    selected.mouseUp = [&control](int button) { lstSelectedEmployeesMouseUp(control, button); };
    // From the keyboard: Delete is "Remove", the menu key opens the popup as a right click does.
    selected.deleteKey = form.mnuRemove.items().front().onClick;
    selected.menuKey = [&control] { lstSelectedEmployeesMouseUp(control, kRightButton); };
    selected.moveSelectedKey = [&control] { lstSelectedEmployeesMoveSelected(control); };
}

void CenterEmployee::setCenterID(const QString& ptVendorID) {
    state().CenterID = numeric_text::toInt32(ptVendorID, QStringLiteral("CenterID"));
}

void CenterEmployee::setServerName(const QString& PtServerName) {
    state().ServerName = PtServerName;
    startLoad();
}

void CenterEmployee::SaveToDatabase() { reportCommit(::SaveToDatabase(*this)); }

void CenterEmployee::loadInBackground(std::function<void()> startLoad) { startLoad_ = std::move(startLoad); }

void CenterEmployee::startLoad() {
    if (startLoad_)
        startLoad_();
    else
        load();
}

void CenterEmployee::load() {
    const LoadOutcome outcome = LoadCenterEmployees(*this, state().CenterID, QString());
    ControlEvents& events = this->events();
    if (outcome.loaded && events.loaded)
        events.loaded(form().lstEmployees.count(), form().lstSelectedEmployees.count());
    if (!outcome.loaded && events.loadFailed) events.loadFailed(outcome.failure);
    reportPending();
    if (heldCommit_) reportCommit(*std::exchange(heldCommit_, std::nullopt));
}

QString CenterEmployee::feedAddress() const { return ::feedAddress(state().ServerName, state().CenterID); }

void CenterEmployee::commitInBackground() {
    if (commitRunning_) return;
    commitRunning_ = true;
    if (std::optional<CommitOutcome> ended = beginCommitClick(*this)) {
        commitRunning_ = false;
        return endCommit(*ended);
    }
    // The transfer tells its end before it stops executing: the commit ends on the next turn
    // of the event loop, after whatever else the notification started.
    commitEnd_ = QObject::connect(&transfer(), &Transfer::stateChanged, &transfer(), [this](int state) {
        if (state != Transfer::StateError && state != Transfer::StateResponseCompleted) return;
        QObject::disconnect(commitEnd_);
        QTimer::singleShot(0, &transfer(), guarded([this] {
                               commitRunning_ = false;
                               endCommit(endCommitClick(*this, batchOutcome(*this)));
                           }));
    });
}

void CenterEmployee::endCommit(const CommitOutcome& outcome) {
    if (outcome.delivered && startLoad_) {
        heldCommit_ = outcome;
        return startLoad();
    }
    reportCommit(outcome);
    if (outcome.delivered) load();
}

void CenterEmployee::reportCommit(const CommitOutcome& outcome) {
    ControlEvents& events = this->events();
    if (outcome.delivered && events.committed) events.committed(outcome.reply);
    if (!outcome.delivered && events.commitFailed) events.commitFailed(outcome.failure);
}

QString CenterEmployee::urlEncode(QString& theData) { return ::urlEncode(theData); }
