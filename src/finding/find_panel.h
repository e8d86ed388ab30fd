#pragma once

class CenterEmployee;

// The find panel: the mode switch, the Find button following the active box, and the search
// of the chosen list by name (part of it, any letter case) or by the whole ID.
void optFindClick(CenterEmployee& c, int index);
void txtVendorIDChange(CenterEmployee& c);
void txtVendorNameChange(CenterEmployee& c);
void cmdFindClick(CenterEmployee& c);
