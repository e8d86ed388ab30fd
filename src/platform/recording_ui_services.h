#pragma once

#include "platform/ui_services.h"

#include <QString>
#include <vector>

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
