#pragma once

#include <QString>
#include <optional>

class PopupMenu;

// A user name and password for HTTP Basic sign-in. Held in memory only: never logged, dumped
// or written anywhere.
struct Credentials {
    QString user;
    QString password;
};

// Message-box styles the control uses; a box always has one OK button.
inline constexpr int kStylePlain = 0;
inline constexpr int kStyleCritical = 16;
inline constexpr int kStyleInformation = 64;

// Mouse-pointer values: the default arrow and the hourglass.
inline constexpr int kPointerDefault = 0;
inline constexpr int kPointerBusy = 11;

// The services of the control's surface: modal message boxes, the mouse pointer, letting
// pending events run, popping up a menu, and asking the operator to sign in.
class UiServices {
public:
    virtual ~UiServices() = default;
    // Shows a modal box; an empty title means the platform's default title. detail, when there
    // is one, says why, under the text.
    virtual void messageBox(const QString& text, int style, const QString& title, const QString& detail) = 0;
    void messageBox(const QString& text, int style, const QString& title) { messageBox(text, style, title, {}); }
    virtual void setMousePointer(int pointer) = 0;
    // Lets the pending events of the thread run and returns.
    virtual void doEvents() = 0;
    // The same, but waits for at least one event when none is pending, so that a loop that
    // waits for something to finish does not spin the processor.
    virtual void waitForEvents() = 0;
    virtual void popupMenu(const PopupMenu& menu) = 0;
    // Asks, modally, for a name and password for server (scheme, host and port) and the realm
    // it named, offering previousUser as the name; nothing when the operator cancels.
    virtual std::optional<Credentials> askCredentials(const QString& server, const QString& realm,
                                                      const QString& previousUser) = 0;
};
