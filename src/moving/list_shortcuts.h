#pragma once

class Control;

// Double-clicks run the single-row moves; a right-button release on the selected list offers
// "Remove", which runs the same move as "<".
void lstEmployeesDblClick(Control& control);
void lstSelectedEmployeesDblClick(Control& control);
void lstSelectedEmployeesMouseUp(Control& control, int button);
void mnuRemoveItemsClick(Control& control);
