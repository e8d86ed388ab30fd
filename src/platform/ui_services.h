#pragma once

#include <QString>
#include <vector>

class PopupMenu;
class QWidget;

// Message-box styles the control uses; a box always has one OK button.
inline constexpr int kStylePlain = 0;
inline constexpr int kStyleCritical = 16;
inline constexpr int kStyleInformation = 64;

// Mouse-pointer values: the default arrow and the hourglass.
inline constexpr int kPointerDefault = 0;
inline constexpr int kPointerBusy = 11;

// The services of the control's surface: modal message boxes, the mouse pointer, letting
// pending events run, and popping up a menu.
class UiServices {
public:
    virtual ~UiServices() = default;
    // Shows a modal box; an empty title means the platform's default title.
    virtual void messageBox(const QString& text, int style, const QString& title) = 0;
    virtual void setMousePointer(int pointer) = 0;
    // Lets the pending events of the thread run and returns.
    virtual void doEvents() = 0;
    // The same, but waits for at least one event when none is pending, so that a loop that
    // waits for something to finish does not spin the processor.
    virtual void waitForEvents() = 0;
    virtual void popupMenu(const PopupMenu& menu) = 0;
};

// Answers every box with OK at once and records it; keeps a popped-up menu open until the
// caller chooses from it or dismisses it. Used by operator scripts and by tests.
class RecordingUiServices : public UiServices {
public:
    struct Message {
        QString text;
        int style;
        QString title;
    };

    void messageBox(const QString& text, int style, const QString& title) override {
        messages.push_back({text, style, title});
    }
    void setMousePointer(int pointer) override { pointers.push_back(pointer); }
    void doEvents() override;
    void waitForEvents() override;
    void popupMenu(const PopupMenu& menu) override { openMenu = &menu; }

    std::vector<Message> messages;
    std::vector<int> pointers;
    const PopupMenu* openMenu = nullptr;
};

// The real surface: Qt message boxes over the control's window, its cursor, the Qt event loop.
class QtUiServices : public UiServices {
public:
    explicit QtUiServices(QWidget* surface) : surface_(surface) {}
    void messageBox(const QString& text, int style, const QString& title) override;
    void setMousePointer(int pointer) override;
    void doEvents() override;
    void waitForEvents() override;
    void popupMenu(const PopupMenu& menu) override;
    void setSurface(QWidget* surface) { surface_ = surface; }

private:
    QWidget* surface_;
};
