#pragma once

#include <QString>

class Control;

// Empties both lists and fills them from the centre's feed. Never fails towards its caller: a
// failed load ends quietly with what was added kept, and tells the operator in the notice.
void LoadCenterEmployees(Control& control, qint32 centerID, const QString& serverName);

// The address of a centre's feed.
QString feedAddress(const QString& serverName, qint32 centerID);
