#pragma once

class Control;

// Double-clicks run the single-row moves; a right-button release on the selected list offers
// "Remove", which runs the same move as "<".
void lstEmployeesDblClick(Control& control);
void lstSelectedEmployeesDblClick(Control& control);
void lstSelectedEmployeesMouseUp(Control& control, int button);
void mnuRemoveItemsClick(Control& control);

// Enter in a list, or its selected rows dragged onto the other list: the move that the list's
// enabled move button offers (several rows: the move of all selected; one: the single move).
void lstEmployeesMoveSelected(Control& control);
void lstSelectedEmployeesMoveSelected(Control& control);
