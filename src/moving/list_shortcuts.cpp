#include "moving/list_shortcuts.h"

#include "form/control.h"
#include "moving/single_row_moves.h"
#include "surface/ui_services.h"

void lstEmployeesDblClick(Control& control) { cmdAddClick(control); }

void lstSelectedEmployeesDblClick(Control& control) { cmdDeleteClick(control); }

void lstSelectedEmployeesMouseUp(Control& control, int button) {
    ReportList& list = control.form().lstSelectedEmployees;
    try {
        if (list.count() == 0) return;
        const ListRow* current = list.selectedItem();
        if (!current) return;
        if (!current->text().isEmpty() && button == kRightButton) control.ui().popupMenu(control.form().mnuRemove);
    } catch (const std::exception&) {
        // No menu when the list or its current row cannot be read.
    }
}

void mnuRemoveItemsClick(Control& control) { cmdDeleteClick(control); }

namespace {

void pressEnabled(CommandButton& several, CommandButton& one) {
    if (several.enabled())
        several.press();
    else
        one.press();  // nothing when it is disabled too
}

}  // namespace

void lstEmployeesMoveSelected(Control& control) { pressEnabled(control.form().cmdAddAll, control.form().cmdAdd); }

void lstSelectedEmployeesMoveSelected(Control& control) {
    pressEnabled(control.form().cmdRemoveAll, control.form().cmdDelete);
}
