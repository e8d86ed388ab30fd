#pragma once

#include <QString>
#include <functional>

// What a control tells the program that embeds it, beyond what its public interface returns.
// Each is optional; each runs on the control's thread once the control has finished the action.
struct ControlEvents {
    std::function<void(int nonSelected, int selected)> loaded;         // both lists hold the centre's feed
    std::function<void(const QString& reason)> loadFailed;             // the lists are not the centre's
    std::function<void(int toAdd, int toRemove)> pendingChanged;       // what a commit would now write
    std::function<void(int nonSelected, int selected)> countsChanged;  // the rows in each list
    std::function<void(const QString& reply)> committed;               // the server took the batch
    std::function<void(const QString& reason)> commitFailed;           // nothing was saved; moves kept
};
