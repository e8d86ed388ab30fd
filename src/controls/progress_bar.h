#pragma once

#include "controls/child_control.h"

// The progress bar takes any maximum from 0 and any value from 0, also one above the maximum:
// a centre without employees or a feed with more rows than announced still loads.
class ProgressBar : public ChildControl {
    Q_OBJECT
public:
    explicit ProgressBar(QString name) : ChildControl(std::move(name)) {}
    int max() const { return max_; }
    int value() const { return value_; }
    void setMax(int max) {
        if (max < 0) max = 0;
        if (max == max_) return;
        max_ = max;
        emit changed();
    }
    void setValue(int value) {
        if (value < 0) value = 0;
        if (value == value_) return;
        value_ = value;
        emit changed();
    }

private:
    int max_ = 100;
    int value_ = 0;
};
