#pragma once

class CenterEmployee;

// The three readers of the feed, run in this order by the load cycle. Each passes its errors
// on unchanged.
void LoadEmployeeCounts(CenterEmployee& c);
void LoadNonSelectedEmployees(CenterEmployee& c);
void LoadSelectedEmployees(CenterEmployee& c);
