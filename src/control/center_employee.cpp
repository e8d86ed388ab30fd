#include "control/center_employee.h"

#include "commit/commit.h"
#include "commit/transfer_events.h"
#include "commit/url_encoding.h"
#include "finding/column_sorting.h"
#include "finding/find_panel.h"
#include "finding/move_button_state.h"
#include "loading/load_cycle.h"
#include "moving/list_shortcuts.h"
#include "moving/multi_row_moves.h"
#include "moving/single_row_moves.h"
#include "platform/http_transfer.h"
#include "platform/numeric_text.h"
#include "platform/ui_services.h"

#include <cmath>

namespace {

// Handlers without a trap of their own end here on a failure: quietly, keeping what they did,
// so that nothing reaches the host's event loop.
template <typename Handler>
auto guarded(Handler handler) {
    return [handler](auto&&... args) {
        try {
            handler(std::forward<decltype(args)>(args)...);
        } catch (const std::exception&) {
        }
    };
}

// A move asked for while a commit waits does nothing: the reload after the reply would drop
// it without a word. A click still selects, but offers no move until the commit has ended.
template <typename Handler>
auto unlessCommitWaiting(CenterEmployee& c, Handler handler) {
    return [&c, handler](auto&&... args) {
        if (!c.state().CommitWaiting) handler(std::forward<decltype(args)>(args)...);
    };
}
template <typename Handler>
auto offeringNoMoveWhileCommitWaits(CenterEmployee& c, Handler handler) {
    return [&c, handler] {
        handler();
        if (c.state().CommitWaiting) disableMoveButtons(c.form());
    };
}

// Adds the three columns to a list whose width was read as w.
void addEmployeeColumns(ReportList& list, Int16 w) {
    list.addColumn(QStringLiteral("ID"), double(w) / 5.1);
    list.addColumn(QStringLiteral("Name"), double(Int16::from(4) * w) / 5.1);
    list.addColumn(QStringLiteral("ID"), 0);
}

Int16 roundedWidth(const ReportList& list) { return Int16::from(qint64(std::nearbyint(list.width()))); }

}  // namespace

CenterEmployee::CenterEmployee(UiServices& ui, FeedSource& feed, Transfer& transfer)
    : ui_(ui), feed_(feed), transfer_(transfer) {
    initialise();
    routeEvents();
}

CenterEmployee::~CenterEmployee() { QObject::disconnect(&transfer_, nullptr, nullptr, nullptr); }

void CenterEmployee::initialise() {
    const Int16 selectedWidth = roundedWidth(form_.lstSelectedEmployees);
    form_.lstSelectedEmployees.setFullRowSelect(true);
    addEmployeeColumns(form_.lstSelectedEmployees, selectedWidth);

    const Int16 employeesWidth = roundedWidth(form_.lstEmployees);
    form_.lstEmployees.setFullRowSelect(true);
    addEmployeeColumns(form_.lstEmployees, employeesWidth);

    form_.lblVersionNumber.setCaption(QStringLiteral("Version Number: %1.%2.%3")
                                          .arg(kVersionMajor)
                                          .arg(kVersionMinor)
                                          .arg(kVersionRevision));
}

void CenterEmployee::routeEvents() {
    CenterEmployee& c = *this;
    form_.cmdAdd.onClick = unlessCommitWaiting(c, [&c] { cmdAddClick(c); });
    form_.cmdDelete.onClick = unlessCommitWaiting(c, [&c] { cmdDeleteClick(c); });
    form_.cmdAddAll.onClick = unlessCommitWaiting(c, guarded([&c] { cmdAddAllClick(c); }));
    form_.cmdRemoveAll.onClick = unlessCommitWaiting(c, guarded([&c] { cmdRemoveAllClick(c); }));
    form_.cmdFind.onClick = guarded([&c] { cmdFindClick(c); });
    form_.cmdCommit.onClick = guarded([&c] { cmdCommitClick(c); });
    form_.optFind.onClick = guarded([&c](int index) { optFindClick(c, index); });
    form_.txtVendorID.onChange = guarded([&c] { txtVendorIDChange(c); });
    form_.txtVendorName.onChange = guarded([&c] { txtVendorNameChange(c); });
    form_.mnuRemove.items().front().onClick = unlessCommitWaiting(c, guarded([&c] { mnuRemoveItemsClick(c); }));

    ReportList::Events& employees = form_.lstEmployees.events;
    employees.click = offeringNoMoveWhileCommitWaits(c, guarded([&c] { lstEmployeesClick(c); }));
    employees.dblClick = unlessCommitWaiting(c, guarded([&c] { lstEmployeesDblClick(c); }));
    employees.columnClick = [&c](int index) { columnClick(c.form().lstEmployees, index); };

    ReportList::Events& selected = form_.lstSelectedEmployees.events;
    selected.click = offeringNoMoveWhileCommitWaits(c, [&c] { lstSelectedEmployeesClick(c); });
    selected.dblClick = unlessCommitWaiting(c, guarded([&c] { lstSelectedEmployeesDblClick(c); }));
    selected.mouseUp = [&c](int button) { lstSelectedEmployeesMouseUp(c, button); };
    selected.columnClick = [&c](int index) { columnClick(c.form().lstSelectedEmployees, index); };

    QObject::connect(&transfer_, &Transfer::stateChanged, &transfer_,
                     guarded([&c](int state) { Inet1StateChanged(c, state); }));
}

void CenterEmployee::setCenterID(const QString& ptVendorID) {
    state_.CenterID = numeric_text::toInt32(ptVendorID, QStringLiteral("CenterID"));
}

void CenterEmployee::setServerName(const QString& PtServerName) {
    state_.ServerName = PtServerName;
    LoadCenterEmployees(*this, state_.CenterID, state_.ServerName);
}

void CenterEmployee::SaveToDatabase() { ::SaveToDatabase(*this); }

QString CenterEmployee::urlEncode(QString& theData) { return ::urlEncode(theData); }

void CenterEmployee::setMousePointer(int pointer) {
    state_.MousePointer = pointer;
    ui_.setMousePointer(pointer);
}
