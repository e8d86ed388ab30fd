#pragma once

#include <QString>

class Control;

// What became of one commit: whether the server took the batch (or there was nothing to send),
// and otherwise why not, for the operator.
struct CommitOutcome {
    bool delivered = false;
    QString failure;
    QString reply;  // the server's answer to a delivered batch
};

// Builds the batch from the pending rows, posts it and waits for the transfer to end, letting
// the window repaint and the operator work meanwhile. Reports its own errors in a message box.
CommitOutcome SaveToDatabase(Control& control);

// "Commit to Database": the commit. When the batch was delivered the caller reloads, to show what
// the database now holds. When it was not, the operator's moves stay, ready to be committed again.
CommitOutcome cmdCommitClick(Control& control);
