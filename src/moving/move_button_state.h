#pragma once

class Control;

// A click in a list makes it the only list that may hold a selection and enables the button
// that moves its selection out: the single-row button for at most one selected row, the
// multi-row button for more.
void lstEmployeesClick(Control& control);
void lstSelectedEmployeesClick(Control& control);
