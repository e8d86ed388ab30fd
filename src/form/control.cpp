#include "form/control.h"

#include "surface/ui_services.h"

void Control::reportPending() {
    const std::pair counts{form_.lstEmployees.count(), form_.lstSelectedEmployees.count()};
    if (counts != reportedCounts_) {
        reportedCounts_ = counts;
        if (events_.countsChanged) events_.countsChanged(counts.first, counts.second);
    }
    const PendingCounts now = pendingCounts(form_);
    form_.lblPending.setCaption(pendingSummary(now));
    if (now == reportedPending_) return;
    reportedPending_ = now;
    if (events_.pendingChanged) events_.pendingChanged(now.toAdd, now.toRemove);
}

void Control::setMousePointer(int pointer) {
    state_.MousePointer = pointer;
    ui_.setMousePointer(pointer);
}
