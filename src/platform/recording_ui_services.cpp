#include "platform/recording_ui_services.h"

#include "platform/thread_events.h"

void RecordingUiServices::doEvents() { thread_events::runPending(); }
void RecordingUiServices::waitForEvents() { thread_events::waitForMore(); }
