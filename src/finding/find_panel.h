#pragma once

class Control;

// The find panel: the mode switch, the Find button following the active box, and the search
// of the chosen list by name (part of it, any letter case) or by the whole ID.
void optFindClick(Control& control, int index);
void txtVendorIDChange(Control& control);
void txtVendorNameChange(Control& control);
void cmdFindClick(Control& control);
// F3 and Shift+F3: the next (previous) row after (before) the current row of the list to search
// that the find text matches as Find would, wrapping around; it becomes the current, only
// selected row, shown, and the list takes the focus; the move buttons offer its move as a click
// would. Nothing without a find text; "Not found" when no row matches.
void findNextMatch(Control& control, bool backwards);
