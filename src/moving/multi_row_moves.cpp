#include "moving/multi_row_moves.h"

#include "control/center_employee.h"
#include "moving/moved_rows.h"

namespace {

// Steps 1 to 7 of both directions: re-create every selected row in the target, selected, then
// take them out of the source in one pass. Returns false when the source was empty.
bool moveSelectedRows(Form& form, ReportList& source, ReportList& target, QChar letter) {
    if (source.count() == 0) return false;
    target.setMultiSelect(false);
    const Int16 count = Int16::from(source.count());
    for (int i = 1; i <= count; ++i) {
        const ListRow* row = source.item(i);
        if (!row->selected()) continue;
        ListRow* moved = appendMovedRow(target, row->text(), row->subItem(1), row->subItem(2), letter);
        target.setSelected(moved, true);
        target.setMultiSelect(true);
    }
    source.removeSelected();
    target.setFocus();
    if (ListRow* current = target.currentRow()) target.ensureVisible(current);
    target.setSortKey(2);
    captionCountLabels(form);
    return true;
}

}  // namespace

void cmdAddAllClick(CenterEmployee& c) {
    Form& form = c.form();
    if (!moveSelectedRows(form, form.lstEmployees, form.lstSelectedEmployees, kMarkAssign)) return;
    form.cmdAddAll.setEnabled(false);
    form.cmdRemoveAll.setEnabled(true);
    form.cmdCommit.setEnabled(true);
    form.optList.setValue(1, true);
    if (form.lstEmployees.count() == 0) {
        form.optList.setEnabled(0, false);
        form.optList.setEnabled(1, true);
    }
}

void cmdRemoveAllClick(CenterEmployee& c) {
    Form& form = c.form();
    if (!moveSelectedRows(form, form.lstSelectedEmployees, form.lstEmployees, kMarkUnassign)) return;
    form.cmdRemoveAll.setEnabled(false);
    form.cmdAddAll.setEnabled(true);
    form.cmdCommit.setEnabled(true);
    form.optList.setValue(0, true);
    if (form.lstSelectedEmployees.count() == 0) {
        form.optList.setEnabled(1, false);
        form.optList.setEnabled(0, true);
    }
}
