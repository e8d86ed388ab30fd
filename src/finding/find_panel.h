#pragma once

class Control;

// The find panel: the mode switch, the Find button following the active box, and the search
// of the chosen list by name (part of it, any letter case) or by the whole ID.
void optFindClick(Control& control, int index);
void txtVendorIDChange(Control& control);
void txtVendorNameChange(Control& control);
void cmdFindClick(Control& control);
