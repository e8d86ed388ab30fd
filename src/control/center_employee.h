#pragma once

#include "control/form.h"
#include "platform/feed_document.h"
#include "platform/int16.h"

#include <QString>
#include <memory>

class FeedSource;
class Transfer;
class UiServices;

// The library's version: the version label and the component runtime read it from here.
inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 0;
inline constexpr int kVersionRevision = 6;

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
};

// One control instance: it owns the form and the state, exposes the public interface, and
// routes each child's events to the handler of its subsystem.
class CenterEmployee {
public:
    CenterEmployee(UiServices& ui, FeedSource& feed, Transfer& transfer);
    ~CenterEmployee();
    CenterEmployee(const CenterEmployee&) = delete;
    CenterEmployee& operator=(const CenterEmployee&) = delete;

    // The public interface. The CenterID setter raises a runtime error for a text that is not
    // a 32-bit number, keeping the previous value.
    void setCenterID(const QString& ptVendorID);
    void setServerName(const QString& PtServerName);
    void SaveToDatabase();
    QString urlEncode(QString& theData);

    Form& form() { return form_; }
    const Form& form() const { return form_; }
    ControlState& state() { return state_; }
    const ControlState& state() const { return state_; }
    UiServices& ui() { return ui_; }
    FeedSource& feed() { return feed_; }
    Transfer& transfer() { return transfer_; }

    void setMousePointer(int pointer);
    void setNotice(const QString& text) { form_.lblNotice.setCaption(text); }

private:
    void initialise();
    void routeEvents();

    UiServices& ui_;
    FeedSource& feed_;
    Transfer& transfer_;
    Form form_;
    ControlState state_;
};
