#pragma once

class Control;

// ">>" moves every selected row of the non-selected list into the selected list; "<<" moves
// every selected row of the selected list back. The moved rows arrive selected.
void cmdAddAllClick(Control& control);
void cmdRemoveAllClick(Control& control);
