#pragma once

#include <QLoggingCategory>

// The library's log, "tarvo.centeremp": what the control dealt with quietly. Warnings (on by
// default): a handler's failure it swallowed. Information (QT_LOGGING_RULES=
// "tarvo.centeremp.info=true"): the message boxes a program turned off and what they said,
// loads and commits that failed. Debug: calls refused with lastError().
Q_DECLARE_LOGGING_CATEGORY(lcCenterEmp)
