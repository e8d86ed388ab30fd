#pragma once

class Control;

// The transfer's state notifications: a failed request is reported, a complete reply is read
// in chunks and shown to the operator when it holds more than spaces.
void Inet1StateChanged(Control& control, int state);
