#pragma once

#include "controls/child_control.h"

#include <functional>

// A push button: pressed by the operator, enabled and disabled by the handlers.
class CommandButton : public ChildControl {
    Q_OBJECT
public:
    CommandButton(QString name, QString caption, bool enabled)
        : ChildControl(std::move(name)), caption_(std::move(caption)), enabled_(enabled) {}
    const QString& caption() const { return caption_; }
    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled) {
        if (enabled == enabled_) return;
        enabled_ = enabled;
        emit changed();
    }
    // The operator presses the button: nothing happens while it is disabled.
    void press() {
        if (enabled_ && onClick) onClick();
    }
    std::function<void()> onClick;

private:
    QString caption_;
    bool enabled_;
};
