#pragma once

#include <QtGlobal>
#include <chrono>

// How long a request may take and how much it may bring back.
struct TransferLimits {
    std::chrono::milliseconds inactivity{15000};  // no byte for this long: the server stopped answering
    std::chrono::milliseconds deadline{60000};    // the request as a whole
    qint64 maxBody = 0;                           // 0: the default cap of the kind of request

    // The largest feed of a centre is 32767 employees; at 512 bytes each (a name of 150
    // characters in any script, its ID and the markup) that is 16 MiB, and a real centre's
    // feed stays far below (1.6 MB for 32767 employees with ordinary names).
    static constexpr qint64 kFeedCap = 16 * 1024 * 1024;
    // The server's reply to a batch is a short text; naming every one of 32767 employees
    // it could not change takes under 400 KB.
    static constexpr qint64 kReplyCap = 1024 * 1024;
};
