#include "form/control.h"

#include "surface/ui_services.h"

void Control::reportPending() {
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
