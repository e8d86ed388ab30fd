#pragma once

#include "form/control.h"

#include <QString>

// One control instance: the form, the state and the services of a control, its public
// interface, and the routing of each child's events to the handler of its subsystem.
class CenterEmployee : public Control {
public:
    CenterEmployee(UiServices& ui, FeedSource& feed, Transfer& transfer);
    ~CenterEmployee();

    // The public interface. The CenterID setter raises a runtime error for a text that is not
    // a 32-bit number, keeping the previous value.
    void setCenterID(const QString& ptVendorID);
    void setServerName(const QString& PtServerName);
    void SaveToDatabase();
    QString urlEncode(QString& theData);

private:
    void initialise();
    void routeEvents();
    void routeMoveEvents();
};
