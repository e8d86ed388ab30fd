#include "platform/qt_ui_services.h"

#include "platform/popup_menu.h"
#include "platform/thread_events.h"

#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QMessageBox>
#include <QWidget>

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

void QtUiServices::doEvents() { thread_events::runPending(); }
void QtUiServices::waitForEvents() { thread_events::waitForMore(); }

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
