#pragma once

#include "component/component_abi.h"
#include "control/center_employee.h"
#include "net/http_feed_source.h"
#include "net/http_transfer.h"
#include "net/sign_in.h"
#include "surface/recording_ui_services.h"
#include "view/center_employee_view.h"
#include "view/qt_ui_services.h"

#include <QPointer>
#include <atomic>
#include <memory>

// Hands every surface call to either the real window's services or the recording ones a
// script uses, so a host can switch a live control over.
class SwitchableUiServices : public UiServices {
public:
    using UiServices::messageBox;
    void messageBox(const QString& text, int style, const QString& title, const QString& detail) override {
        active().messageBox(text, style, title, detail);
    }
    void setMousePointer(int pointer) override { active().setMousePointer(pointer); }
    void doEvents() override { active().doEvents(); }
    void waitForEvents() override { active().waitForEvents(); }
    void popupMenu(const PopupMenu& menu) override { active().popupMenu(menu); }
    std::optional<Credentials> askCredentials(const QString& server, const QString& realm,
                                              const QString& previousUser) override {
        return active().askCredentials(server, realm, previousUser);
    }

    QtUiServices window{nullptr};
    RecordingUiServices recording;
    bool recordingOn = false;

private:
    UiServices& active() { return recordingOn ? static_cast<UiServices&>(recording) : window; }
};

// One CenterEmployee as a component object: late-bound calls by member id, its window, and
// the operator driver behind scripts.
class CenterEmployeeObject final : public IDispatchLike,
                                   public IControlWindowLike,
                                   public IOperatorDriverLike,
                                   public IOperatorSignInLike,
                                   public IOperatorGesturesLike {
public:
    static constexpr std::int32_t DispIdServerName = 0x68030000;
    static constexpr std::int32_t DispIdCenterID = 0x68030001;
    static constexpr std::int32_t DispIdSaveToDatabase = 0x60030015;
    static constexpr std::int32_t DispIdUrlEncode = 0x6003002B;

    CenterEmployeeObject();
    ~CenterEmployeeObject();

    // IUnknownLike
    HResult queryInterface(const QUuid& iid, void** object) override;
    std::uint32_t addRef() override { return ++references_; }
    std::uint32_t release() override;

    // IDispatchLike
    HResult getIDsOfNames(const QString& name, std::int32_t* dispId) override;
    HResult invoke(std::int32_t dispId, InvokeKind kind, QVariantList& arguments, QVariant* result,
                   ExceptionInfo* exception) override;

    // IControlWindowLike
    QWidget* window() override;

    // IOperatorDriverLike
    void recordSurface() override;
    QString click(const QString& list, int row, ListClick modifier) override;
    QString clickEmpty(const QString& list) override;
    QString doubleClick(const QString& list, int row) override;
    QString rightClick(const QString& list, int row) override;
    QString releaseButton(const QString& list, int button) override;
    QString header(const QString& list, int index) override;
    QString press(const QString& button) override;
    QString option(const QString& array, int index) override;
    QString type(const QString& textBox, const QString& text) override;
    bool menuOpen() const override;
    QString chooseMenu(const QString& caption) override;
    void dismissMenu() override;
    QString dump() override;
    QString key(const QString& child, const QString& keys) override;

    // IOperatorSignInLike
    void answerSignIn(const QString& user, const QString& password) override;
    QStringList unansweredSignIns() override;

    // IOperatorGesturesLike
    QString drag(const QString& from, int row, const QString& to) override;

private:
    ReportList* listNamed(const QString& name);
    QString onRow(const QString& list, int row, const std::function<void(ReportList&)>& action);

    std::atomic<std::uint32_t> references_{0};
    SwitchableUiServices ui_;
    SignIn signIn_{ui_};  // shared by both transports
    HttpFeedSource feed_{{}, &signIn_};
    HttpTransfer transfer_{{}, &signIn_};
    CenterEmployee control_;
    QPointer<CenterEmployeeView> view_;
};
