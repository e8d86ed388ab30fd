#pragma once

class ReportList;

// A header click sorts the list by that column; a second click on the same column reverses the
// direction. The ID headers sort by the hidden zero-padded copy of the ID.
void columnClick(ReportList& list, int headerIndex);
