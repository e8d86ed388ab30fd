#pragma once

#include <QLoggingCategory>

// The library's log, "tarvo.centeremp": what the control dealt with quietly (a handler's
// failure it swallowed, a message box a program turned off, a load or commit that failed).
// Information and above are on by default; QT_LOGGING_RULES="tarvo.centeremp.debug=true"
// adds refused calls.
Q_DECLARE_LOGGING_CATEGORY(lcCenterEmp)
