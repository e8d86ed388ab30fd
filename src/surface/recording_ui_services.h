#pragma once

#include "surface/ui_services.h"

#include <QString>
#include <vector>

// Answers every box with OK at once and records it; keeps a popped-up menu open until the
// caller chooses from it or dismisses it; answers a sign-in prompt with the credentials it was
// given, or cancels it when it has none, and records the prompt. Used by operator scripts and
// by tests.
class RecordingUiServices : public UiServices {
public:
    struct Message {
        QString text;
        int style;
        QString title;
        QString detail;
    };
    // A sign-in prompt: what it showed, and whether it was answered.
    struct Prompt {
        QString server;
        QString realm;
        QString previousUser;
        bool answered;
    };

    using UiServices::messageBox;
    void messageBox(const QString& text, int style, const QString& title, const QString& detail) override {
        messages.push_back({text, style, title, detail});
    }
    void setMousePointer(int pointer) override { pointers.push_back(pointer); }
    void doEvents() override;
    void waitForEvents() override;
    void popupMenu(const PopupMenu& menu) override { openMenu = &menu; }
    std::optional<Credentials> askCredentials(const QString& server, const QString& realm,
                                              const QString& previousUser) override;

    std::vector<Message> messages;
    std::vector<int> pointers;
    const PopupMenu* openMenu = nullptr;
    std::optional<Credentials> signInAnswer;
    std::vector<Prompt> prompts;
};
