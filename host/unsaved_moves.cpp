#include "host/unsaved_moves.h"

#include <QCloseEvent>
#include <QJsonDocument>
#include <QJsonObject>
#include <QWidget>

int unsavedMoves(IOperatorDriverLike& driver) {
    const QJsonObject pending =
        QJsonDocument::fromJson(driver.dump().toUtf8()).object().value(QLatin1String("pending")).toObject();
    return pending.value(QLatin1String("add")).toInt() + pending.value(QLatin1String("remove")).toInt();
}

bool UnsavedMovesGuard::mayClose() {
    const int moves = unsavedMoves(driver_);
    if (moves == 0) return true;
    switch (ask_(moves)) {
    case QMessageBox::Discard: return true;
    case QMessageBox::Save:
        // As the operator would: Commit to Database, which saves and reloads. When it fails,
        // the control says why, and the window stays with the moves.
        driver_.press(QStringLiteral("cmdCommit"));
        return unsavedMoves(driver_) == 0;
    default: return false;
    }
}

bool UnsavedMovesGuard::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Close || mayClose()) return QObject::eventFilter(watched, event);
    event->ignore();
    return true;
}

UnsavedMovesGuard::Ask askInABox(QWidget* window) {
    return [window](int moves) {
        QMessageBox box(QMessageBox::Warning, window->windowTitle(),
                        moves == 1 ? QStringLiteral("1 move is not saved to the database.")
                                   : QStringLiteral("%1 moves are not saved to the database.").arg(moves),
                        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, window);
        box.setInformativeText(QStringLiteral("Save them before closing?"));
        box.setDefaultButton(QMessageBox::Save);
        return QMessageBox::StandardButton(box.exec());
    };
}
