#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>

// The intrinsic child controls as state objects. Handlers read and write these; Qt widgets
// draw them and report what the operator does. Each raises `changed` when its state changes.

// System-colour codes of the platform: the window background and the button face.
inline constexpr quint32 kColorWindow = 0x80000005;
inline constexpr quint32 kColorButtonFace = 0x8000000F;

class ChildControl : public QObject {
    Q_OBJECT
public:
    explicit ChildControl(QString name) : name_(std::move(name)) {}
    const QString& name() const { return name_; }

signals:
    void changed();

private:
    QString name_;
};

class Label : public ChildControl {
    Q_OBJECT
public:
    Label(QString name, QString caption) : ChildControl(std::move(name)), caption_(std::move(caption)) {}
    const QString& caption() const { return caption_; }
    void setCaption(const QString& caption) {
        if (caption == caption_) return;
        caption_ = caption;
        emit changed();
    }

private:
    QString caption_;
};

using Frame = Label;  // a frame only carries a caption

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

// A popup menu: a caption and its items; choosing an item runs that item's click.
class PopupMenu : public ChildControl {
    Q_OBJECT
public:
    struct Item {
        QString name;
        QString caption;
        std::function<void()> onClick;
    };
    PopupMenu(QString name, QString caption) : ChildControl(std::move(name)), caption_(std::move(caption)) {}
    const QString& caption() const { return caption_; }
    std::vector<Item>& items() { return items_; }
    const std::vector<Item>& items() const { return items_; }
    QStringList captions() const {
        QStringList result;
        for (const auto& item : items_) result << item.caption;
        return result;
    }
    bool choose(const QString& caption) const {
        for (const auto& item : items_)
            if (item.caption == caption) {
                if (item.onClick) item.onClick();
                return true;
            }
        return false;
    }

private:
    QString caption_;
    std::vector<Item> items_;
};
