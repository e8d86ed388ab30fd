#pragma once

// The thread's event loop as both surfaces use it.
namespace thread_events {

// Lets the pending events of the thread run and returns.
void runPending();
// The same, but waits for at least one event when none is pending.
void waitForMore();

}  // namespace thread_events
