#include "moving/move_button_state.h"

#include "form/control.h"

namespace {

void deselectAll(ReportList& list) {
    const Int16 count = Int16::from(list.count());
    for (int i = 1; i <= count; ++i) {
        ListRow* row = list.item(i);
        if (row->selected()) list.setSelected(row, false);
    }
}

// True when at least two rows of the list are selected; stops counting at two.
bool severalSelected(const ReportList& list) {
    const Int16 count = Int16::from(list.count());
    Int16 selected;
    for (int i = 1; i <= count; ++i) {
        if (list.item(i)->selected()) ++selected;
        if (selected == 2) return true;
    }
    return false;
}

}  // namespace

void lstEmployeesClick(Control& control) {
    Form& form = control.form();
    if (form.lstEmployees.count() == 0) {
        disableMoveButtons(form);
        return;
    }
    form.cmdDelete.setEnabled(false);
    form.cmdRemoveAll.setEnabled(false);
    form.lstEmployees.setMultiSelect(true);
    form.lstSelectedEmployees.setMultiSelect(false);
    deselectAll(form.lstSelectedEmployees);
    const bool several = severalSelected(form.lstEmployees);
    form.cmdAddAll.setEnabled(several);
    form.cmdAdd.setEnabled(!several);
}

void lstSelectedEmployeesClick(Control& control) {
    Form& form = control.form();
    try {
        if (form.lstSelectedEmployees.count() == 0) {
            disableMoveButtons(form);
            return;
        }
        form.lstSelectedEmployees.setMultiSelect(true);
        form.lstEmployees.setMultiSelect(false);
        deselectAll(form.lstEmployees);
        form.cmdAdd.setEnabled(false);
        form.cmdAddAll.setEnabled(false);
        const bool several = severalSelected(form.lstSelectedEmployees);
        form.cmdRemoveAll.setEnabled(several);
        form.cmdDelete.setEnabled(!several);
    } catch (const std::exception&) {
        // A list beyond the 16-bit range ends the handler with what was set so far.
    }
}
