#pragma once

class CenterEmployee;

// Double-clicks run the single-row moves; a right-button release on the selected list offers
// "Remove", which runs the same move as "<".
void lstEmployeesDblClick(CenterEmployee& c);
void lstSelectedEmployeesDblClick(CenterEmployee& c);
void lstSelectedEmployeesMouseUp(CenterEmployee& c, int button);
void mnuRemoveItemsClick(CenterEmployee& c);
