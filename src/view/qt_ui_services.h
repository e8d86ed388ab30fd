#pragma once

#include "surface/ui_services.h"

class QWidget;

// The real surface: Qt message boxes and the sign-in dialog over the control's window, its
// cursor, the Qt event loop.
class QtUiServices : public UiServices {
public:
    explicit QtUiServices(QWidget* surface) : surface_(surface) {}
    void messageBox(const QString& text, int style, const QString& title) override;
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
