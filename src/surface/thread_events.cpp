#include "surface/thread_events.h"

#include <QCoreApplication>

namespace thread_events {

void runPending() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void waitForMore() { QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents); }

}  // namespace thread_events
