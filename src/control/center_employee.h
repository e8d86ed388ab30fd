#pragma once

#include "form/control.h"

#include <QMetaObject>
#include <QString>

struct CommitOutcome;

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
    // A load of the centre, then the events that tell its outcome; an empty server name keeps
    // the one the control has.
    void load(const QString& serverName);
    void reportCommit(const CommitOutcome& outcome);

    QMetaObject::Connection transferEvents_;
};
