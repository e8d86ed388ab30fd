#include "form/control.h"

#include "platform/ui_services.h"

void Control::setMousePointer(int pointer) {
    state_.MousePointer = pointer;
    ui_.setMousePointer(pointer);
}
