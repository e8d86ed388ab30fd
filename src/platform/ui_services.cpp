#include "platform/ui_services.h"

#include "platform/child_controls.h"

#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QMessageBox>
#include <QWidget>

namespace {
void runPendingEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }
void waitForMoreEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}
}  // namespace

void RecordingUiServices::doEvents() { runPendingEvents(); }
void RecordingUiServices::waitForEvents() { waitForMoreEvents(); }

void QtUiServices::messageBox(const QString& text, int style, const QString& title) {
    QMessageBox box(surface_);
    box.setText(text);
    box.setStandardButtons(QMessageBox::Ok);
    if (style == kStyleCritical) box.setIcon(QMessageBox::Critical);
    if (style == kStyleInformation) box.setIcon(QMessageBox::Information);
    box.setWindowTitle(title.isEmpty() ? QStringLiteral("TarvoCenterEmp") : title);
    box.exec();
}

void QtUiServices::setMousePointer(int pointer) {
    if (!surface_) return;
    if (pointer == kPointerBusy)
        surface_->setCursor(Qt::WaitCursor);
    else
        surface_->unsetCursor();
}

void QtUiServices::doEvents() { runPendingEvents(); }
void QtUiServices::waitForEvents() { waitForMoreEvents(); }

void QtUiServices::popupMenu(const PopupMenu& menu) {
    QMenu popup(surface_);
    for (const auto& item : menu.items()) {
        QAction* action = popup.addAction(item.caption);
        QObject::connect(action, &QAction::triggered, action, [&item] {
            if (item.onClick) item.onClick();
        });
    }
    popup.exec(QCursor::pos());
}
