#pragma once

#include "component/component_abi.h"

#include <QMessageBox>
#include <QObject>

#include <functional>

// Moves the operator made and the database has not seen: how many there are, read from the
// control's state.
int unsavedMoves(IOperatorDriverLike& driver);

// Watches the control's window: closing it with unsaved moves asks whether to save them
// (closing only once the commit saved them all), to discard them, or to keep the window open.
class UnsavedMovesGuard : public QObject {
public:
    // ask: shown with the number of unsaved moves; answers Save, Discard or Cancel.
    using Ask = std::function<QMessageBox::StandardButton(int moves)>;
    UnsavedMovesGuard(IOperatorDriverLike& driver, Ask ask, QObject* parent = nullptr)
        : QObject(parent), driver_(driver), ask_(std::move(ask)) {}

    // Whether the window may close now; a Save runs the commit first.
    bool mayClose();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    IOperatorDriverLike& driver_;
    Ask ask_;
};

// The question as a box over the window.
UnsavedMovesGuard::Ask askInABox(QWidget* window);
