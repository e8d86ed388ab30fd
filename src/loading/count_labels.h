#pragma once

#include <QString>

// The captions of the two count labels, the one rule for the load and the moves.
inline QString nonSelectedCaption(int count) {
    return QStringLiteral("Non Selected Active Employees (%1):").arg(count);
}
inline QString selectedCaption(int count) {
    return QStringLiteral("Selected Active Employees (%1):").arg(count);
}
