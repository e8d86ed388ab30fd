#include "moving/list_shortcuts.h"

#include "control/center_employee.h"
#include "moving/single_row_moves.h"
#include "platform/ui_services.h"

namespace {
constexpr int kRightButton = 2;
}

void lstEmployeesDblClick(CenterEmployee& c) { cmdAddClick(c); }

void lstSelectedEmployeesDblClick(CenterEmployee& c) { cmdDeleteClick(c); }

void lstSelectedEmployeesMouseUp(CenterEmployee& c, int button) {
    ReportList& list = c.form().lstSelectedEmployees;
    try {
        if (list.count() == 0) return;
        const ListRow* current = list.selectedItem();
        if (!current) return;
        if (!current->text().isEmpty() && button == kRightButton) c.ui().popupMenu(c.form().mnuRemove);
    } catch (const std::exception&) {
        // No menu when the list or its current row cannot be read.
    }
}

void mnuRemoveItemsClick(CenterEmployee& c) { cmdDeleteClick(c); }
