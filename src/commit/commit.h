#pragma once

#include <QString>
#include <optional>

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

// The same two commits in halves, for a program that does not wait in a loop of its own. The
// first half builds the batch and posts it: an outcome when the commit has already ended
// (nothing to write, IDs that are not numbers, a request that could not start), nothing while
// the batch is on its way; the lists then take no moves. Once the transfer has ended,
// batchOutcome frees the lists and tells what became of the batch.
std::optional<CommitOutcome> postBatch(Control& control);
CommitOutcome batchOutcome(Control& control);
std::optional<CommitOutcome> beginCommitClick(Control& control);
CommitOutcome endCommitClick(Control& control, const CommitOutcome& outcome);
