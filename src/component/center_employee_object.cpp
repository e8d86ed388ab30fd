#include "component/center_employee_object.h"

#include "component/runtime.h"
#include "control/state_dump.h"
#include "rules/runtime_error.h"
#include "view/report_list_view.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMimeData>
#include <QMouseEvent>

#include <memory>

namespace {

HResult raised(const RuntimeError& error, ExceptionInfo* exception) {
    if (exception) *exception = {error.number(), error.source(), error.description()};
    return hresult::Exception;
}

QString noSuch(const QString& what, const QString& name) { return QStringLiteral("no %1 named %2").arg(what, name); }

}  // namespace

CenterEmployeeObject::CenterEmployeeObject() : control_(ui_, feed_, transfer_) { component_runtime::objectCreated(); }

CenterEmployeeObject::~CenterEmployeeObject() {
    delete view_.data();
    component_runtime::objectDestroyed();
}

HResult CenterEmployeeObject::queryInterface(const QUuid& iid, void** object) {
    if (!object) return hresult::Pointer;
    *object = nullptr;
    if (iid == iids::Unknown || iid == iids::Dispatch)
        *object = static_cast<IDispatchLike*>(this);
    else if (iid == iids::ControlWindow)
        *object = static_cast<IControlWindowLike*>(this);
    else if (iid == iids::OperatorDriver)
        *object = static_cast<IOperatorDriverLike*>(this);
    else if (iid == iids::OperatorSignIn)
        *object = static_cast<IOperatorSignInLike*>(this);
    else if (iid == iids::OperatorGestures)
        *object = static_cast<IOperatorGesturesLike*>(this);
    else
        return hresult::NoInterface;
    addRef();
    return hresult::Ok;
}

std::uint32_t CenterEmployeeObject::release() {
    const std::uint32_t left = --references_;
    if (left == 0) delete this;
    return left;
}

HResult CenterEmployeeObject::getIDsOfNames(const QString& name, std::int32_t* dispId) {
    if (!dispId) return hresult::Pointer;
    static const std::pair<const char*, std::int32_t> names[] = {
        {"SaveToDatabase", DispIdSaveToDatabase},
        {"CenterID", DispIdCenterID},
        {"ServerName", DispIdServerName},
        {"urlEncode", DispIdUrlEncode},
    };
    for (const auto& [memberName, id] : names)
        if (name.compare(QLatin1String(memberName), Qt::CaseInsensitive) == 0) {
            *dispId = id;
            return hresult::Ok;
        }
    return hresult::UnknownName;
}

HResult CenterEmployeeObject::invoke(std::int32_t dispId, InvokeKind kind, QVariantList& arguments, QVariant* result,
                                     ExceptionInfo* exception) {
    const auto expect = [&](InvokeKind wanted, qsizetype count) -> HResult {
        if (kind != wanted) return hresult::MemberNotFound;  // the properties cannot be read back
        return arguments.size() == count ? hresult::Ok : hresult::BadParamCount;
    };
    try {
        switch (dispId) {
        case DispIdCenterID:
            if (const HResult check = expect(InvokeKind::PropertyPut, 1); check != hresult::Ok) return check;
            control_.setCenterID(arguments[0].toString());
            return hresult::Ok;
        case DispIdServerName:
            if (const HResult check = expect(InvokeKind::PropertyPut, 1); check != hresult::Ok) return check;
            control_.setServerName(arguments[0].toString());
            return hresult::Ok;
        case DispIdSaveToDatabase:
            if (const HResult check = expect(InvokeKind::Method, 0); check != hresult::Ok) return check;
            control_.SaveToDatabase();
            return hresult::Ok;
        case DispIdUrlEncode: {
            if (const HResult check = expect(InvokeKind::Method, 1); check != hresult::Ok) return check;
            QString theData = arguments[0].toString();
            const QString encoded = control_.urlEncode(theData);
            arguments[0] = theData;
            if (result) *result = encoded;
            return hresult::Ok;
        }
        default: return hresult::MemberNotFound;
        }
    } catch (const RuntimeError& error) {
        return raised(error, exception);
    }
}

QWidget* CenterEmployeeObject::window() {
    if (!view_) {
        view_ = new CenterEmployeeView(control_.form());
        ui_.window.setSurface(view_);
    }
    return view_;
}

void CenterEmployeeObject::recordSurface() { ui_.recordingOn = true; }

ReportList* CenterEmployeeObject::listNamed(const QString& name) {
    Form& form = control_.form();
    if (name == QLatin1String("lstEmployees")) return &form.lstEmployees;
    if (name == QLatin1String("lstSelectedEmployees")) return &form.lstSelectedEmployees;
    return nullptr;
}

QString CenterEmployeeObject::onRow(const QString& list, int row, const std::function<void(ReportList&)>& action) {
    ReportList* target = listNamed(list);
    if (!target) return noSuch(QStringLiteral("list"), list);
    if (row < 1 || row > target->count())
        return QStringLiteral("%1 has no row %2 (it has %3)").arg(list).arg(row).arg(target->count());
    action(*target);
    return {};
}

QString CenterEmployeeObject::click(const QString& list, int row, ListClick modifier) {
    const ClickModifier how = modifier == ListClick::Ctrl    ? ClickModifier::Ctrl
                              : modifier == ListClick::Shift ? ClickModifier::Shift
                                                             : ClickModifier::None;
    return onRow(list, row, [row, how](ReportList& l) { l.operatorClick(row, how); });
}

QString CenterEmployeeObject::clickEmpty(const QString& list) {
    ReportList* target = listNamed(list);
    if (!target) return noSuch(QStringLiteral("list"), list);
    target->operatorClickEmpty();
    return {};
}

QString CenterEmployeeObject::doubleClick(const QString& list, int row) {
    return onRow(list, row, [row](ReportList& l) { l.operatorDoubleClick(row); });
}

QString CenterEmployeeObject::rightClick(const QString& list, int row) {
    return onRow(list, row, [row](ReportList& l) {
        l.operatorRightPress(row);
        l.operatorRelease(2);
    });
}

QString CenterEmployeeObject::releaseButton(const QString& list, int button) {
    ReportList* target = listNamed(list);
    if (!target) return noSuch(QStringLiteral("list"), list);
    if (button != 1 && button != 2 && button != 4) return QStringLiteral("no mouse button %1 (1, 2 or 4)").arg(button);
    target->operatorRelease(button);
    return {};
}

QString CenterEmployeeObject::header(const QString& list, int index) {
    ReportList* target = listNamed(list);
    if (!target) return noSuch(QStringLiteral("list"), list);
    if (index < 1 || index > int(target->columns().size()))
        return QStringLiteral("%1 has no column header %2").arg(list).arg(index);
    target->operatorHeaderClick(index);
    return {};
}

QString CenterEmployeeObject::press(const QString& button) {
    Form& form = control_.form();
    for (CommandButton* candidate :
         {&form.cmdAdd, &form.cmdAddAll, &form.cmdRemoveAll, &form.cmdDelete, &form.cmdFind, &form.cmdCommit})
        if (candidate->name() == button) {
            candidate->press();
            return {};
        }
    return noSuch(QStringLiteral("command button"), button);
}

QString CenterEmployeeObject::option(const QString& array, int index) {
    Form& form = control_.form();
    OptionArray* target = array == QLatin1String("optFind")   ? &form.optFind
                          : array == QLatin1String("optList") ? &form.optList
                                                              : nullptr;
    if (!target) return noSuch(QStringLiteral("option array"), array);
    if (index != 0 && index != 1) return QStringLiteral("%1 has no element %2 (0 or 1)").arg(array).arg(index);
    target->press(index);
    return {};
}

QString CenterEmployeeObject::type(const QString& textBox, const QString& text) {
    Form& form = control_.form();
    TextBox* target = textBox == QLatin1String("txtVendorID")     ? &form.txtVendorID
                      : textBox == QLatin1String("txtVendorName") ? &form.txtVendorName
                                                                  : nullptr;
    if (!target) return noSuch(QStringLiteral("text box"), textBox);
    target->type(text);
    return {};
}

bool CenterEmployeeObject::menuOpen() const { return ui_.recording.openMenu != nullptr; }

QString CenterEmployeeObject::chooseMenu(const QString& caption) {
    const PopupMenu* menu = std::exchange(ui_.recording.openMenu, nullptr);
    if (!menu) return QStringLiteral("no popup menu is open");
    if (!menu->choose(caption)) return QStringLiteral("the popup menu has no item \"%1\"").arg(caption);
    return {};
}

void CenterEmployeeObject::dismissMenu() { ui_.recording.openMenu = nullptr; }

QString CenterEmployeeObject::dump() {
    std::optional<QStringList> menu;
    if (ui_.recording.openMenu) menu = ui_.recording.openMenu->captions();
    const QString state = dumpState(control_, menu, ui_.recording.messages);
    ui_.recording.messages.clear();
    return state;
}

QString CenterEmployeeObject::key(const QString& child, const QString& keys) {
    window();
    // "focus": whichever child has the focus now, as a keyboard's keys go.
    const bool toFocus = child == QLatin1String("focus");
    const auto focused = [this]() -> QWidget* {
        QWidget* widget = view_->window()->focusWidget();
        return widget && view_->isAncestorOf(widget) ? widget : nullptr;
    };
    QWidget* target = toFocus ? focused() : view_->child(child);
    if (!target) return toFocus ? QStringLiteral("no child has the focus") : noSuch(QStringLiteral("child"), child);
    const QKeySequence sequence = QKeySequence::fromString(keys, QKeySequence::PortableText);
    bool known = !sequence.isEmpty();
    for (int i = 0; i < sequence.count(); ++i) known = known && sequence[i].key() != Qt::Key_unknown;
    if (!known) return QStringLiteral("%1 are not keys this host knows").arg(keys);
    if (!toFocus) target->setFocus(Qt::OtherFocusReason);
    for (int i = 0; i < sequence.count(); ++i) {
        const QKeyCombination combination = sequence[i];
        const Qt::Key pressed = combination.key();
        const Qt::KeyboardModifiers modifiers = combination.keyboardModifiers();
        // Printable keys carry their character, as a keyboard's do.
        const bool printable =
            pressed >= Qt::Key_Space && pressed <= Qt::Key_AsciiTilde && !(modifiers & Qt::ControlModifier);
        const QString text = printable ? QString(QChar(pressed)).toLower() : QString();
        QKeyEvent press(QEvent::KeyPress, pressed, modifiers, text);
        QKeyEvent release(QEvent::KeyRelease, pressed, modifiers, text);
        // Each key goes where the focus is by then: a Tab before it may have moved it.
        QWidget* receiver = focused();
        if (!receiver) receiver = target;
        QCoreApplication::sendEvent(receiver, &press);
        QCoreApplication::sendEvent(receiver, &release);
    }
    return {};
}

QString CenterEmployeeObject::drag(const QString& from, int row, const QString& to) {
    window();
    auto* source = qobject_cast<ReportListView*>(view_->child(from));
    auto* target = qobject_cast<ReportListView*>(view_->child(to));
    if (!source) return noSuch(QStringLiteral("list"), from);
    if (!target) return noSuch(QStringLiteral("list"), to);
    ReportList* list = listNamed(from);
    if (row < 1 || row > list->count()) return QStringLiteral("%1 has no row %2").arg(from).arg(row);
    // The operator sees the list as its last changes left it, with the row in sight.
    QCoreApplication::processEvents();
    const QModelIndex index = source->model()->index(row - 1, 1);
    source->scrollTo(index);
    const QRect cell = source->visualRect(index);
    if (!cell.isValid()) return QStringLiteral("row %1 of %2 is not shown").arg(row).arg(from);
    // The press, through the view as the mouse gives it; the drag then leaves the press's
    // release to the drop.
    const QPointF at = cell.center();
    QMouseEvent press(QEvent::MouseButtonPress, at, source->viewport()->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(source->viewport(), &press);
    std::unique_ptr<QMimeData> rows(source->selectedRowsForDrag());
    const QPointF over = target->viewport()->rect().center();
    QDragEnterEvent enter(over.toPoint(), Qt::MoveAction, rows.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target->viewport(), &enter);
    if (!enter.isAccepted()) return QStringLiteral("%1 takes no rows from %2").arg(to, from);
    QDropEvent drop(over, Qt::MoveAction, rows.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target->viewport(), &drop);
    return {};
}

void CenterEmployeeObject::answerSignIn(const QString& user, const QString& password) {
    ui_.recording.signInAnswer = Credentials{user, password};
}

QStringList CenterEmployeeObject::unansweredSignIns() {
    QStringList unanswered;
    for (const RecordingUiServices::Prompt& prompt : ui_.recording.prompts) {
        if (prompt.answered) continue;
        unanswered << (prompt.realm.isEmpty() ? prompt.server
                                              : QStringLiteral("%1 (realm %2)").arg(prompt.server, prompt.realm));
    }
    ui_.recording.prompts.clear();
    return unanswered;
}
