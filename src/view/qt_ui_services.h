#pragma once

#include "surface/ui_services.h"

#include <QPoint>

#include <optional>
#include <utility>

class QWidget;

// Where a popup opened from the keyboard appears: the view handling the key sets it for as long
// as the key's handler runs. Otherwise a popup appears at the mouse pointer.
class KeyboardPopupAnchor {
public:
    explicit KeyboardPopupAnchor(QPoint global) : previous_(std::exchange(current_, global)) {}
    ~KeyboardPopupAnchor() { current_ = previous_; }
    KeyboardPopupAnchor(const KeyboardPopupAnchor&) = delete;
    KeyboardPopupAnchor& operator=(const KeyboardPopupAnchor&) = delete;
    static std::optional<QPoint> current() { return current_; }

private:
    std::optional<QPoint> previous_;
    static inline std::optional<QPoint> current_;
};

// The real surface: Qt message boxes and the sign-in dialog over the control's window, its
// cursor, the Qt event loop.
class QtUiServices : public UiServices {
public:
    explicit QtUiServices(QWidget* surface) : surface_(surface) {}
    using UiServices::messageBox;
    void messageBox(const QString& text, int style, const QString& title, const QString& detail) override;
    void setMousePointer(int pointer) override;
    void doEvents() override;
    void waitForEvents() override;
    void popupMenu(const PopupMenu& menu) override;
    std::optional<Credentials> askCredentials(const QString& server, const QString& realm,
                                              const QString& previousUser) override;
    void setSurface(QWidget* surface) { surface_ = surface; }

private:
    QWidget* surface_;
};
