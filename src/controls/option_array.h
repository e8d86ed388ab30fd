#pragma once

#include "controls/child_control.h"

#include <array>
#include <functional>

// A two-element option-button array: one group, exactly one element chosen at a time.
class OptionArray : public ChildControl {
    Q_OBJECT
public:
    struct Element {
        QString caption;
        bool value = false;
        bool enabled = false;
    };
    OptionArray(QString name, Element first, Element second)
        : ChildControl(std::move(name)), elements_{std::move(first), std::move(second)} {}

    const Element& element(int index) const { return elements_.at(size_t(index)); }
    bool value(int index) const { return element(index).value; }
    bool enabled(int index) const { return element(index).enabled; }

    // Choosing one element clears the other; clearing an element leaves the other as it is.
    void setValue(int index, bool value) {
        Element& e = elements_.at(size_t(index));
        if (e.value == value) return;
        e.value = value;
        if (value) elements_[size_t(1 - index)].value = false;
        emit changed();
    }
    void setEnabled(int index, bool enabled) {
        Element& e = elements_.at(size_t(index));
        if (e.enabled == enabled) return;
        e.enabled = enabled;
        emit changed();
    }
    // The operator clicks an element: it becomes the chosen one, then the array's Click.
    void press(int index) {
        if (!element(index).enabled) return;
        setValue(index, true);
        if (onClick) onClick(index);
    }
    std::function<void(int index)> onClick;

private:
    std::array<Element, 2> elements_;
};
