#include "surface/recording_ui_services.h"

#include "surface/thread_events.h"

void RecordingUiServices::doEvents() { thread_events::runPending(); }
void RecordingUiServices::waitForEvents() { thread_events::waitForMore(); }

std::optional<Credentials> RecordingUiServices::askCredentials(const QString& server, const QString& realm,
                                                               const QString& previousUser) {
    prompts.push_back({server, realm, previousUser, signInAnswer.has_value()});
    return signInAnswer;
}
