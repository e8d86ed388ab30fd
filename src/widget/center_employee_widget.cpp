#include <TarvoCenterEmp/centeremployeewidget.h>

#include "control/center_employee.h"
#include "form/rows.h"
#include "net/http_feed_source.h"
#include "net/http_transfer.h"
#include "net/sign_in.h"
#include "rules/runtime_error.h"
#include "view/center_employee_view.h"
#include "view/qt_ui_services.h"

#include <QVBoxLayout>
#include <new>

namespace {

// The numbers hosts know for the failures that are not the control's own.
constexpr int kOutOfMemory = 7;
constexpr int kInternalError = 51;

}  // namespace

struct CenterEmployeeWidget::Private {
    explicit Private(QWidget* surface)
        : ui(surface), signIn(ui), feed({}, &signIn), transfer({}, &signIn), control(ui, feed, transfer) {}

    // Runs one call of the public interface: true when it raised nothing, else false with the
    // error kept for lastError(). Nothing is thrown past the library's boundary.
    template <typename Call>
    bool run(Call call) noexcept {
        try {
            lastError = {};
            call();
            return true;
        } catch (const RuntimeError& error) {
            lastError = {error.number(), error.source(), error.description()};
        } catch (const std::bad_alloc&) {
            lastError = {kOutOfMemory, QStringLiteral("CenterEmployeeWidget"), QStringLiteral("Out of memory")};
        } catch (const std::exception& error) {
            lastError = {kInternalError, QStringLiteral("CenterEmployeeWidget"), QString::fromUtf8(error.what())};
        } catch (...) {
            lastError = {kInternalError, QStringLiteral("CenterEmployeeWidget"), QStringLiteral("Internal error")};
        }
        return false;
    }

    QtUiServices ui;
    SignIn signIn;  // shared by both transports; asks through ui
    HttpFeedSource feed;
    HttpTransfer transfer;
    CenterEmployee control;
    CenterEmployeeView* view = nullptr;  // a child of the widget, deleted before the control
    Error lastError;
};

CenterEmployeeWidget::CenterEmployeeWidget(QWidget* parent) : QWidget(parent), d_(std::make_unique<Private>(this)) {
    d_->view = new CenterEmployeeView(d_->control.form(), this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(d_->view);

    // The control's events become this widget's signals; each runs once its action has ended.
    ControlEvents& events = d_->control.events();
    events.loaded = [this](int nonSelected, int selected) { emit loaded(nonSelected, selected); };
    events.loadFailed = [this](const QString& reason) { emit loadFailed(reason); };
    events.pendingChanged = [this](int toAdd, int toRemove) { emit pendingChanged(toAdd, toRemove); };
    events.committed = [this](const QString& reply) { emit committed(reply); };
    events.commitFailed = [this](const QString& reason) { emit commitFailed(reason); };
}

CenterEmployeeWidget::~CenterEmployeeWidget() {
    d_->control.events() = {};
    delete d_->view;  // it draws the control's form, which goes with d_
}

QString CenterEmployeeWidget::centerID() const { return QString::number(d_->control.state().CenterID); }

bool CenterEmployeeWidget::setCenterID(const QString& centerID) {
    return d_->run([&] { d_->control.setCenterID(centerID); });
}

QString CenterEmployeeWidget::serverName() const { return d_->control.state().ServerName; }

bool CenterEmployeeWidget::setServerName(const QString& serverName) {
    return d_->run([&] { d_->control.setServerName(serverName); });
}

bool CenterEmployeeWidget::setCredentials(const QString& user, const QString& password) {
    return d_->run([&] {
        if (const QString problem = userNameProblem(user); !problem.isEmpty())
            throw RuntimeError(errors::TypeMismatch, QStringLiteral("CenterEmployeeWidget"), problem);
        d_->signIn.setCredentials(user, password);
    });
}

bool CenterEmployeeWidget::saveToDatabase() {
    return d_->run([&] { d_->control.SaveToDatabase(); });
}

QString CenterEmployeeWidget::urlEncode(const QString& text) {
    QString encoded;
    d_->run([&] {
        QString theData = text;
        encoded = d_->control.urlEncode(theData);
    });
    return encoded;
}

bool CenterEmployeeWidget::hasPendingChanges() const {
    const PendingCounts pending = pendingCounts(d_->control.form());
    return pending.toAdd > 0 || pending.toRemove > 0;
}

CenterEmployeeWidget::Error CenterEmployeeWidget::lastError() const { return d_->lastError; }

QSize CenterEmployeeWidget::sizeHint() const { return d_->view->sizeHint(); }
