#pragma once

class Control;

// The three readers of the feed, run in this order by the load cycle. Each passes its errors
// on unchanged.
void LoadEmployeeCounts(Control& control);
void LoadNonSelectedEmployees(Control& control);
void LoadSelectedEmployees(Control& control);
