#pragma once

#include <QString>

class CenterEmployee;

// What became of one commit: whether the server took the batch (or there was nothing to send),
// and otherwise why not, for the operator.
struct CommitOutcome {
    bool delivered = false;
    QString failure;
};

// Builds the batch from the pending rows, posts it and waits for the transfer to end, letting
// the window repaint and the operator work meanwhile. Reports its own errors in a message box.
CommitOutcome SaveToDatabase(CenterEmployee& c);

// "Commit to Database": the commit, then a reload that shows what the database now holds. When
// the batch was not delivered the operator's moves stay, ready to be committed again.
void cmdCommitClick(CenterEmployee& c);
