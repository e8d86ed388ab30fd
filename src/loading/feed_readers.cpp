#include "loading/feed_readers.h"

#include "form/control.h"
#include "form/rows.h"
#include "rules/numeric_text.h"
#include "rules/runtime_error.h"

#include <vector>

namespace {

const QString kSource = QStringLiteral("LoadEmployeeCounts");

FeedNode feedRoot(const ControlState& state) {
    if (!state.FeedDocument) throw errors::objectNotSet(kSource);
    return state.FeedDocument->root();
}

// An announced count: a number of rows, so never negative.
Int16 readCount(const FeedNode& node) {
    const Int16 count = numeric_text::toInt16(node.text(), kSource);
    if (count < 0) throw errors::overflow(kSource);
    return count;
}

struct Block {
    int position;                                 // the block's place under the root
    ReportList Form::*list;                       // the list it fills
    std::vector<ReportList Form::*> sortedLists;  // lists whose sort key it sets to the ID copy
    int optListIndex;                             // the "List to search" option it enables
    bool progressToMax;                           // the last reader shows the bar full
};

void fillList(Control& control, const Block& block) {
    Form& form = control.form();
    ControlState& state = control.state();
    ReportList& list = form.*block.list;

    const FeedNode employees = feedRoot(state).child(block.position);
    for (FeedNode employee = employees.firstChild(); !employee.isNull(); employee = employee.nextSibling()) {
        const QString id = employee.child(0).child(0).text();
        ListRow* row = list.add(id);
        list.setSubItem(row, kNameColumn, employee.child(1).child(0).text());
        list.setSubItem(row, kIdCopyColumn, numeric_text::formatPadded(row->text()));
        form.prbLoad.setValue(state.LoadedRowCount);
        ++state.LoadedRowCount;
    }

    for (ReportList Form::*sorted : block.sortedLists) (form.*sorted).setSortKey(kIdCopyColumn);
    form.optList.setEnabled(block.optListIndex, true);
    form.optFind.setEnabled(kFindByName, true);
    form.optFind.setEnabled(kFindById, true);
    form.txtVendorID.setEnabled(true);
    form.txtVendorID.setLocked(false);
    form.txtVendorID.setBackColor(kColorWindow);
    if (block.progressToMax) form.prbLoad.setValue(form.prbLoad.max());
    if (list.count() >= 1) {
        // The list view selects the first row it is given; the load shows no selection.
        ListRow* first = list.selectedItem();
        if (first) list.setSelected(first, false);
    }
}

}  // namespace

void LoadEmployeeCounts(Control& control) {
    Form& form = control.form();
    ControlState& state = control.state();
    const FeedNode record = feedRoot(state).child(0).child(0);
    state.NonSelectedCount = readCount(record.child(0));
    state.SelectedCount = readCount(record.child(1));
    form.prbLoad.setMax(state.NonSelectedCount + state.SelectedCount);
    form.lblAllVendors.setCaption(nonSelectedCaption(state.NonSelectedCount));
    form.lblSelVendors.setCaption(selectedCaption(state.SelectedCount));
    state.LoadedRowCount = Int16();
}

void LoadNonSelectedEmployees(Control& control) {
    fillList(control,
             {1, &Form::lstEmployees, {&Form::lstEmployees, &Form::lstSelectedEmployees}, kSearchNonSelected, false});
}

void LoadSelectedEmployees(Control& control) {
    fillList(control, {2, &Form::lstSelectedEmployees, {&Form::lstSelectedEmployees}, kSearchSelected, true});
}
