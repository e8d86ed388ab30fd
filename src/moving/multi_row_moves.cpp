#include "moving/multi_row_moves.h"

#include "form/control.h"
#include "form/rows.h"

namespace {

// Both directions: every selected row leaves the source in one pass and joins the end of the
// target, selected, with its marker updated. Returns false when the source was empty.
bool moveSelectedRows(Form& form, ReportList& source, ReportList& target, QChar letter) {
    if (source.count() == 0) return false;
    target.setMultiSelect(false);
    Int16::from(source.count());  // a list beyond the 16-bit range moves nothing
    for (ListRow* moved : target.adopt(source.takeSelected())) {
        target.editSubItem(moved, kIdCopyColumn,
                           [&](QString& column) { remarkMovedIdColumn(column, moved->text(), letter); });
        target.setSelected(moved, true);
        target.setMultiSelect(true);
    }
    target.setFocus();
    if (ListRow* current = target.currentRow()) target.ensureVisible(current);
    target.setSortKey(kIdCopyColumn);
    captionCountLabels(form);
    return true;
}

}  // namespace

void cmdAddAllClick(Control& control) {
    Form& form = control.form();
    if (!moveSelectedRows(form, form.lstEmployees, form.lstSelectedEmployees, kMarkAssign)) return;
    form.cmdAddAll.setEnabled(false);
    form.cmdRemoveAll.setEnabled(true);
    form.cmdCommit.setEnabled(true);
    form.optList.setValue(kSearchSelected, true);
    if (form.lstEmployees.count() == 0) {
        form.optList.setEnabled(kSearchNonSelected, false);
        form.optList.setEnabled(kSearchSelected, true);
    }
}

void cmdRemoveAllClick(Control& control) {
    Form& form = control.form();
    if (!moveSelectedRows(form, form.lstSelectedEmployees, form.lstEmployees, kMarkUnassign)) return;
    form.cmdRemoveAll.setEnabled(false);
    form.cmdAddAll.setEnabled(true);
    form.cmdCommit.setEnabled(true);
    form.optList.setValue(kSearchNonSelected, true);
    if (form.lstSelectedEmployees.count() == 0) {
        form.optList.setEnabled(kSearchSelected, false);
        form.optList.setEnabled(kSearchNonSelected, true);
    }
}
