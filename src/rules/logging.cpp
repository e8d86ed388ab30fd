#include "rules/logging.h"

Q_LOGGING_CATEGORY(lcCenterEmp, "tarvo.centeremp", QtWarningMsg)
