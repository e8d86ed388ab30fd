#pragma once

#include "controls/child_control.h"

#include <functional>

// A one-line text box the operator types into unless it is locked or disabled.
class TextBox : public ChildControl {
    Q_OBJECT
public:
    TextBox(QString name, bool enabled, bool locked, quint32 backColor)
        : ChildControl(std::move(name)), enabled_(enabled), locked_(locked), backColor_(backColor) {}

    const QString& text() const { return text_; }
    bool enabled() const { return enabled_; }
    bool locked() const { return locked_; }
    quint32 backColor() const { return backColor_; }

    // Any change of the text, by the control or the operator, raises the Change event.
    void setText(const QString& text) {
        if (text == text_) return;
        text_ = text;
        emit changed();
        if (onChange) onChange();
    }
    void setEnabled(bool enabled) { update(enabled_, enabled); }
    void setLocked(bool locked) { update(locked_, locked); }
    void setBackColor(quint32 color) { update(backColor_, color); }

    // The operator replaces the text: refused while the box is locked or disabled.
    bool type(const QString& text) {
        if (locked_ || !enabled_) return false;
        setText(text);
        return true;
    }
    std::function<void()> onChange;

private:
    template <typename T>
    void update(T& field, T value) {
        if (field == value) return;
        field = value;
        emit changed();
    }
    QString text_;
    bool enabled_;
    bool locked_;
    quint32 backColor_;
};
