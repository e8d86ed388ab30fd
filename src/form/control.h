#pragma once

#include "feed/feed_document.h"
#include "form/control_events.h"
#include "form/form.h"
#include "form/rows.h"
#include "rules/int16.h"

#include <TarvoCenterEmp/tarvocenteremp_version.h>
#include <QString>
#include <memory>
#include <utility>

class FeedSource;
class Transfer;
class UiServices;

// The library's version: the version label and the component runtime read it from here.
inline constexpr int kVersionMajor = TARVOCENTEREMP_VERSION_MAJOR;
inline constexpr int kVersionMinor = TARVOCENTEREMP_VERSION_MINOR;
inline constexpr int kVersionRevision = TARVOCENTEREMP_VERSION_PATCH;

// The control's private state; nothing of it is persisted.
struct ControlState {
    QString ServerName;
    qint32 CenterID = 0;
    Int16 NonSelectedCount;
    Int16 SelectedCount;
    Int16 LoadedRowCount;
    std::unique_ptr<::FeedDocument> FeedDocument;
    int MousePointer = 0;
    // True while a commit waits for the server: the lists take no moves then, since the
    // reload that ends the commit would silently drop them.
    bool CommitWaiting = false;
    // True while a load fetches its feed without blocking: the lists take no moves then either.
    bool LoadWaiting = false;
    bool movesHeld() const { return CommitWaiting || LoadWaiting; }
};

// What every handler works on: the form, the state and the outside services of one control.
class Control {
public:
    Control(UiServices& ui, FeedSource& feed, Transfer& transfer) : ui_(ui), feed_(feed), transfer_(transfer) {}
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    Form& form() { return form_; }
    const Form& form() const { return form_; }
    ControlState& state() { return state_; }
    const ControlState& state() const { return state_; }
    UiServices& ui() { return ui_; }
    FeedSource& feed() { return feed_; }
    Transfer& transfer() { return transfer_; }

    // Keeps the pointer in the state and shows it on the surface.
    void setMousePointer(int pointer);
    // What the control tells the operator outside message boxes about the last load or commit.
    void setNotice(const QString& text) { form_.lblNotice.setCaption(text); }

    ControlEvents& events() { return events_; }
    // Counts the pending rows, shows the summary next to "Commit to Database" and, when the
    // counts differ from the last ones reported, reports them; the same for the rows of each list.
    void reportPending();

protected:
    ~Control() = default;

private:
    UiServices& ui_;
    FeedSource& feed_;
    Transfer& transfer_;
    Form form_;
    ControlState state_;
    ControlEvents events_;
    PendingCounts reportedPending_;
    std::pair<int, int> reportedCounts_{0, 0};
};
