#pragma once

#include <QString>

class Control;

// What became of one load: whether both lists now hold the centre's feed, and otherwise why not.
struct LoadOutcome {
    bool loaded = false;
    QString failure;
};

// Empties both lists and fills them from the centre's feed. Never fails towards its caller: a
// failed load ends quietly with what was added kept, and tells the operator in the notice.
LoadOutcome LoadCenterEmployees(Control& control, qint32 centerID, const QString& serverName);

// The address of a centre's feed.
QString feedAddress(const QString& serverName, qint32 centerID);
