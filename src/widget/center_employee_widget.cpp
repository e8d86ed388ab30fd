#include <TarvoCenterEmp/centeremployeewidget.h>

#include "control/center_employee.h"
#include "form/rows.h"
#include "net/feed_source.h"
#include "net/http_transfer.h"
#include "net/sign_in.h"
#include "rules/logging.h"
#include "rules/numeric_text.h"
#include "rules/runtime_error.h"
#include "rules/texts.h"
#include "view/center_employee_view.h"
#include "view/qt_ui_services.h"

#include <QTimer>
#include <QVBoxLayout>
#include <new>
#include <optional>
#include <utility>

namespace {

// The numbers hosts know for the failures that are not the control's own.
constexpr int kOutOfMemory = 7;
constexpr int kInternalError = 51;

const QString kWidgetSource = QStringLiteral("CenterEmployeeWidget");

// The window's services, with the message boxes the program may turn off: a box not shown is
// written to the log instead, so that nothing the control says is lost without a trace.
class HostedUi : public UiServices {
public:
    explicit HostedUi(QWidget* surface) : qt_(surface) {}
    using UiServices::messageBox;
    void messageBox(const QString& text, int style, const QString& title, const QString& detail) override {
        if (boxes) return qt_.messageBox(text, style, title, detail);
        QString said = title.isEmpty() ? text : title + QStringLiteral(": ") + text;
        if (!detail.isEmpty()) said += QStringLiteral(" (") + detail + u')';
        qCInfo(lcCenterEmp).noquote() << "message box not shown:" << said.trimmed();
    }
    void setMousePointer(int pointer) override { qt_.setMousePointer(pointer); }
    void doEvents() override { qt_.doEvents(); }
    void waitForEvents() override { qt_.waitForEvents(); }
    void popupMenu(const PopupMenu& menu) override { qt_.popupMenu(menu); }
    std::optional<Credentials> askCredentials(const QString& server, const QString& realm,
                                              const QString& previousUser) override {
        return qt_.askCredentials(server, realm, previousUser);
    }

    bool boxes = true;

private:
    QtUiServices qt_;
};

// The feed as a background fetch brought it, handed to the load as if fetched then: the body,
// or the reason none came. It answers only for the address it was fetched from.
class FetchedFeed : public FeedSource {
public:
    void set(const QString& address, QByteArray body, QString failure) {
        address_ = address;
        body_ = std::move(body);
        failure_ = std::move(failure);
    }
    QByteArray get(const QString& address) override {
        if (address != address_)
            throw RuntimeError(errors::FeedUnavailable, QStringLiteral("FeedDocument"),
                               Texts::tr("the feed of another centre or server came"));
        if (!failure_.isEmpty()) throw RuntimeError(errors::FeedUnavailable, QStringLiteral("FeedDocument"), failure_);
        return std::exchange(body_, {});
    }

private:
    QString address_;
    QByteArray body_;
    QString failure_;
};

}  // namespace

struct CenterEmployeeWidget::Private {
    Private(CenterEmployeeWidget* q)
        : q(q), ui(q), signIn(ui), feedTransfer({}, &signIn), transfer({}, &signIn), control(ui, fetched, transfer) {}

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
            lastError = {kOutOfMemory, kWidgetSource, QStringLiteral("Out of memory")};
        } catch (const std::exception& error) {
            lastError = {kInternalError, kWidgetSource, QString::fromUtf8(error.what())};
        } catch (...) {
            lastError = {kInternalError, kWidgetSource, QStringLiteral("Internal error")};
        }
        qCDebug(lcCenterEmp) << "refused:" << lastError.number << lastError.source << lastError.description;
        return false;
    }

    // A load: the lists take no moves from now on, and the feed is fetched once the event loop
    // runs, for whatever centre and server are set by then. While a commit runs, the load waits
    // for its end.
    void startLoad() {
        if (control.commitRunning()) {
            loadAfterCommit = true;
            return;
        }
        loadAfterCommit = false;
        isLoaded = false;
        ++loadGeneration;  // an end of an earlier fetch that is still queued is ignored
        feedTransfer.abort();
        ControlState& state = control.state();
        state.LoadWaiting = true;
        disableMoveButtons(control.form());
        control.form().cmdCommit.setEnabled(false);
        control.setNotice(Texts::tr("Loading…"));
        if (!fetchQueued) {
            fetchQueued = true;
            QTimer::singleShot(0, q, [this] { fetch(); });
        }
        updateBusy();
    }

    void fetch() {
        fetchQueued = false;
        if (!control.state().LoadWaiting) return;
        // The centre set meanwhile is the one the lists show from now on.
        if (requestedCentre) control.state().CenterID = *std::exchange(requestedCentre, std::nullopt);
        fetchAddress = control.feedAddress();
        try {
            feedTransfer.execute(fetchAddress, QStringLiteral("Get"), {}, {});
        } catch (const RuntimeError& error) {
            fetched.set(fetchAddress, {}, error.description());
            fill();
        }
    }

    // The fetch has ended: the lists take what it brought, as a load does.
    void fetchEnded() {
        fetched.set(fetchAddress, feedTransfer.delivered() ? feedTransfer.replyBytes() : QByteArray(),
                    feedTransfer.delivered() ? QString() : feedTransfer.failure());
        fill();
    }

    void fill() {
        control.state().LoadWaiting = false;
        control.load();
        fetched.set({}, {}, {});
        updateBusy();
    }

    void updateBusy() {
        const bool now = control.state().LoadWaiting || fetchQueued || control.commitRunning();
        if (now == busy) return;
        busy = now;
        emit q->busyChanged(busy);
    }

    // One time-out of both transfers, named as its property; false when it had that value.
    bool setLimit(std::chrono::milliseconds TransferLimits::*limit, int milliseconds, const char* property) {
        if (milliseconds < 1) throw errors::overflow(QString::fromLatin1(property));
        TransferLimits limits = transfer.limits();
        if (limits.*limit == std::chrono::milliseconds(milliseconds)) return false;
        limits.*limit = std::chrono::milliseconds(milliseconds);
        feedTransfer.setLimits(limits);
        transfer.setLimits(limits);
        return true;
    }

    CenterEmployeeWidget* q;
    HostedUi ui;
    SignIn signIn;  // shared by both transports; asks through ui
    FetchedFeed fetched;
    HttpTransfer feedTransfer;  // the feed's GET, without blocking
    HttpTransfer transfer;      // the commit's POST
    CenterEmployee control;
    CenterEmployeeView* view = nullptr;  // a child of the widget, deleted before the control
    Error lastError;
    QString fetchAddress;
    // A centre set but not loaded yet: the lists, and so a commit, keep the centre they show
    // until a load starts.
    std::optional<qint32> requestedCentre;
    int loadGeneration = 0;
    bool fetchQueued = false;
    bool loadAfterCommit = false;
    bool busy = false;
    bool isLoaded = false;
    int counts[2] = {0, 0};
};

CenterEmployeeWidget::CenterEmployeeWidget(QWidget* parent) : QWidget(parent), d_(std::make_unique<Private>(this)) {
    d_->view = new CenterEmployeeView(d_->control.form(), this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(d_->view);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    qRegisterMetaType<Error>();
    d_->control.loadInBackground([this] { d_->startLoad(); });
    // A commit started by the operator's button is as busy as one the program started.
    connect(&d_->transfer, &Transfer::stateChanged, this, [this](int state) {
        if (state == Transfer::StateRequesting) d_->updateBusy();
    });
    connect(&d_->feedTransfer, &Transfer::stateChanged, &d_->feedTransfer, [this](int state) {
        if (state != Transfer::StateError && state != Transfer::StateResponseCompleted) return;
        // The transfer stops executing once its notifications have run; a load started
        // meanwhile has a fetch of its own.
        QTimer::singleShot(0, &d_->feedTransfer, [this, generation = d_->loadGeneration] {
            if (generation == d_->loadGeneration) d_->fetchEnded();
        });
    });

    // The control's events become this widget's signals; each runs once its action has ended.
    ControlEvents& events = d_->control.events();
    events.loaded = [this](int nonSelected, int selected) {
        d_->isLoaded = true;
        emit loaded(nonSelected, selected);
    };
    events.loadFailed = [this](const QString& reason) {
        d_->isLoaded = false;
        qCInfo(lcCenterEmp).noquote() << "load failed:" << reason;
        emit loadFailed(reason);
    };
    events.pendingChanged = [this](int toAdd, int toRemove) { emit pendingChanged(toAdd, toRemove); };
    events.countsChanged = [this](int nonSelected, int selected) {
        d_->counts[0] = nonSelected;
        d_->counts[1] = selected;
        emit countsChanged(nonSelected, selected);
    };
    events.committed = [this](const QString& reply) { emit committed(reply); };
    events.commitFailed = [this](const QString& reason) {
        qCInfo(lcCenterEmp).noquote() << "commit failed:" << reason;
        d_->updateBusy();
        emit commitFailed(reason);
        if (d_->loadAfterCommit) d_->startLoad();
    };
}

CenterEmployeeWidget::~CenterEmployeeWidget() {
    d_->control.events() = {};
    d_->feedTransfer.abort();
    delete d_->view;  // it draws the control's form, which goes with d_
}

QString CenterEmployeeWidget::centerID() const {
    return QString::number(d_->requestedCentre.value_or(d_->control.state().CenterID));
}

bool CenterEmployeeWidget::setCenterID(const QString& centerID) {
    const QString before = this->centerID();
    if (!d_->run([&] { d_->requestedCentre = numeric_text::toInt32(centerID, QStringLiteral("CenterID")); }))
        return false;
    if (this->centerID() == before) return true;
    d_->isLoaded = false;
    if (d_->control.state().LoadWaiting) d_->startLoad();
    emit centerIDChanged(this->centerID());
    return true;
}

QString CenterEmployeeWidget::serverName() const { return d_->control.state().ServerName; }

bool CenterEmployeeWidget::setServerName(const QString& serverName) {
    const bool changed = serverName != d_->control.state().ServerName;
    if (!d_->run([&] { d_->control.setServerName(serverName); })) return false;
    if (changed) emit serverNameChanged(serverName);
    return true;
}

bool CenterEmployeeWidget::messageBoxes() const { return d_->ui.boxes; }

void CenterEmployeeWidget::setMessageBoxes(bool on) {
    if (on == d_->ui.boxes) return;
    d_->ui.boxes = on;
    emit messageBoxesChanged(on);
}

int CenterEmployeeWidget::stallTimeout() const { return int(d_->transfer.limits().inactivity.count()); }
int CenterEmployeeWidget::requestTimeout() const { return int(d_->transfer.limits().deadline.count()); }

bool CenterEmployeeWidget::setStallTimeout(int milliseconds) {
    return d_->run([&] {
        if (d_->setLimit(&TransferLimits::inactivity, milliseconds, "stallTimeout"))
            emit stallTimeoutChanged(milliseconds);
    });
}

bool CenterEmployeeWidget::setRequestTimeout(int milliseconds) {
    return d_->run([&] {
        if (d_->setLimit(&TransferLimits::deadline, milliseconds, "requestTimeout"))
            emit requestTimeoutChanged(milliseconds);
    });
}

bool CenterEmployeeWidget::isBusy() const { return d_->busy; }
bool CenterEmployeeWidget::isLoaded() const { return d_->isLoaded; }
int CenterEmployeeWidget::nonSelectedCount() const { return d_->counts[0]; }
int CenterEmployeeWidget::selectedCount() const { return d_->counts[1]; }

bool CenterEmployeeWidget::setCredentials(const QString& user, const QString& password) {
    return d_->run([&] {
        if (const QString problem = userNameProblem(user); !problem.isEmpty())
            throw RuntimeError(errors::TypeMismatch, kWidgetSource, problem);
        d_->signIn.setCredentials(user, password);
    });
}

void CenterEmployeeWidget::reload() { d_->startLoad(); }

void CenterEmployeeWidget::revert() { reload(); }

void CenterEmployeeWidget::commit() {
    if (d_->busy) {
        const QString reason = Texts::tr("a load or another commit is still running");
        qCInfo(lcCenterEmp).noquote() << "commit not started:" << reason;
        emit commitFailed(reason);
        return;
    }
    d_->run([&] { d_->control.commitInBackground(); });
    d_->updateBusy();
}

bool CenterEmployeeWidget::saveToDatabase() {
    return d_->run([&] { d_->control.SaveToDatabase(); });
}

QString CenterEmployeeWidget::urlEncode(const QString& text) const {
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

QSize CenterEmployeeWidget::minimumSizeHint() const { return d_->view->sizeHint() / 2; }
