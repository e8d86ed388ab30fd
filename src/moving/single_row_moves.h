#pragma once

class Control;

// ">" moves the current row of the non-selected list into the selected list; "<" moves the
// current row of the selected list back. Both end quietly on any failure.
void cmdAddClick(Control& control);
void cmdDeleteClick(Control& control);
