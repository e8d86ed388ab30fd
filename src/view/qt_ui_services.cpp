#include "view/qt_ui_services.h"
#include "rules/texts.h"

#include "controls/popup_menu.h"
#include "net/sign_in.h"
#include "surface/thread_events.h"

#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

#include <algorithm>

void QtUiServices::messageBox(const QString& text, int style, const QString& title, const QString& detail) {
    QMessageBox box(surface_);
    box.setText(text);
    box.setInformativeText(detail);
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
    popup.exec(KeyboardPopupAnchor::current().value_or(QCursor::pos()));
}

std::optional<Credentials> QtUiServices::askCredentials(const QString& server, const QString& realm,
                                                        const QString& previousUser) {
    QDialog dialog(surface_);
    dialog.setWindowTitle(Texts::tr("Sign in"));
    auto* layout = new QFormLayout(&dialog);
    auto* intro = new QLabel(&dialog);
    intro->setTextFormat(Qt::PlainText);
    intro->setWordWrap(true);
    intro->setText(realm.isEmpty() ? Texts::tr("The server\n%1\nasks you to sign in.").arg(server)
                                   : Texts::tr("The server\n%1\nasks you to sign in to “%2”.").arg(server, realm));
    // The server's address on one line, as far as a screen allows: it says where the password goes.
    constexpr int kWidestIntro = 600;
    intro->setMinimumWidth(std::min(kWidestIntro, intro->fontMetrics().horizontalAdvance(server) + 8));
    layout->addRow(intro);
    auto* user = new QLineEdit(previousUser, &dialog);
    auto* password = new QLineEdit(&dialog);
    password->setEchoMode(QLineEdit::Password);
    layout->addRow(Texts::tr("&Name:"), user);
    layout->addRow(Texts::tr("&Password:"), password);
    auto* problem = new QLabel(&dialog);
    problem->setTextFormat(Qt::PlainText);
    layout->addRow(problem);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    layout->addRow(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    // A name Basic sign-in cannot carry keeps the dialog open, saying why.
    const auto check = [user, problem, buttons] {
        const QString why = userNameProblem(user->text());
        problem->setText(why);
        buttons->button(QDialogButtonBox::Ok)->setEnabled(why.isEmpty() && !user->text().isEmpty());
    };
    QObject::connect(user, &QLineEdit::textChanged, &dialog, check);
    check();
    (previousUser.isEmpty() ? user : password)->setFocus();
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return Credentials{user->text(), password->text()};
}
