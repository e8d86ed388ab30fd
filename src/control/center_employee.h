#pragma once

#include "form/control.h"

#include <QMetaObject>
#include <QString>
#include <functional>
#include <optional>

#include "commit/commit.h"

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

    // Nothing waits: from now on every load the control would run (on a server name, after a
    // commit) is left to startLoad, which fetches the feed without blocking and then calls
    // load(); "Commit to Database" and commitInBackground() post without waiting, and a commit
    // the server took is reported once the reload after it has ended. Without it, a load
    // fetches its feed at once and a commit waits in a loop of its own.
    void loadInBackground(std::function<void()> startLoad);
    // The load of the centre from the feed source, then the events that tell its outcome.
    void load();
    // "Commit to Database", returning once the batch is on its way; the outcome follows
    // through the events.
    void commitInBackground();
    bool commitRunning() const { return commitRunning_; }
    // The address a load of the centre set now fetches.
    QString feedAddress() const;

private:
    void initialise();
    void routeEvents();
    void routeMoveEvents();
    void startLoad();
    void endCommit(const CommitOutcome& outcome);
    void reportCommit(const CommitOutcome& outcome);

    QMetaObject::Connection transferEvents_;
    QMetaObject::Connection commitEnd_;
    std::function<void()> startLoad_;
    bool commitRunning_ = false;
    // A commit the server took, reported once the reload after it has ended.
    std::optional<CommitOutcome> heldCommit_;
};
