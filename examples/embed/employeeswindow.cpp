#include "employeeswindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QMessageBox>
#include <QSpinBox>
#include <QStatusBar>
#include <QToolBar>

#include <utility>

EmployeesWindow::EmployeesWindow(const QString& server, int centre, QWidget* parent)
    : QMainWindow(parent), employees_(new CenterEmployeeWidget(this)), shownCentre_(centre) {
    // The window reports every outcome in its status bar; the widget shows no box of its own.
    employees_->setMessageBoxes(false);
    setCentralWidget(employees_);

    QToolBar* tools = addToolBar(tr("Employees"));
    tools->setObjectName(QStringLiteral("tools"));
    tools->addWidget(new QLabel(tr("Centre:"), tools));
    picker_ = new QSpinBox(tools);
    picker_->setRange(1, 32767);
    picker_->setValue(centre);
    tools->addWidget(picker_);
    save_ = tools->addAction(tr("&Save"), employees_, &CenterEmployeeWidget::commit);
    save_->setShortcut(QKeySequence::Save);
    reload_ = tools->addAction(tr("&Reload"), employees_, &CenterEmployeeWidget::reload);
    reload_->setShortcut(QKeySequence::Refresh);
    revert_ = tools->addAction(tr("Re&vert"), employees_, &CenterEmployeeWidget::revert);

    counts_ = new QLabel(this);
    outcome_ = new QLabel(this);
    statusBar()->addWidget(outcome_, 1);
    statusBar()->addPermanentWidget(counts_);

    connect(picker_, &QSpinBox::editingFinished, this, [this] { pickCentre(picker_->value()); });
    connect(employees_, &CenterEmployeeWidget::busyChanged, this, [this](bool busy) {
        if (busy) say(tr("Working…"));
        updateActions();
    });
    connect(employees_, &CenterEmployeeWidget::loaded, this, [this] {
        shownCentre_ = employees_->centerID().toInt();
        setWindowTitle(tr("Centre %1 – %2").arg(employees_->centerID(), employees_->serverName()));
        say(tr("Loaded."));
    });
    connect(employees_, &CenterEmployeeWidget::loadFailed, this,
            [this](const QString& reason) { say(tr("Not loaded: %1").arg(reason)); });
    connect(employees_, &CenterEmployeeWidget::countsChanged, this, &EmployeesWindow::updateCounts);
    connect(employees_, &CenterEmployeeWidget::pendingChanged, this, [this] {
        updateCounts();
        updateActions();
    });
    connect(employees_, &CenterEmployeeWidget::committed, this, [this](const QString& reply) {
        say(reply.trimmed().isEmpty() ? tr("Saved.") : reply.trimmed());
        if (std::exchange(closeAfterSave_, false)) close();
    });
    connect(employees_, &CenterEmployeeWidget::commitFailed, this, [this](const QString& reason) {
        closeAfterSave_ = false;
        say(tr("Not saved: %1").arg(reason));
    });

    employees_->setCenterID(QString::number(centre));
    employees_->setServerName(server);  // loads once the event loop runs
    updateCounts();
    updateActions();
}

QString EmployeesWindow::status() const { return outcome_->text(); }

void EmployeesWindow::say(const QString& text) { outcome_->setText(text); }

void EmployeesWindow::updateCounts() {
    counts_->setText(
        tr("%1 not assigned, %2 assigned").arg(employees_->nonSelectedCount()).arg(employees_->selectedCount()));
}

void EmployeesWindow::updateActions() {
    const bool busy = employees_->isBusy();
    save_->setEnabled(!busy && employees_->hasPendingChanges());
    revert_->setEnabled(!busy && employees_->hasPendingChanges());
    reload_->setEnabled(!busy);
    picker_->setEnabled(!busy);
}

// Another centre: the moves on this one are saved, dropped or kept, as the operator says.
void EmployeesWindow::pickCentre(int centre) {
    if (centre == shownCentre_ && employees_->isLoaded()) return;
    if (askAboutUnsavedMoves(tr("Show centre %1").arg(centre)) == Unsaved::Stay) {
        picker_->setValue(shownCentre_);
        return;
    }
    employees_->setCenterID(QString::number(centre));
    employees_->reload();
}

EmployeesWindow::Unsaved EmployeesWindow::askAboutUnsavedMoves(const QString& why) {
    if (!employees_->hasPendingChanges()) return Unsaved::Saved;
    const auto answer =
        QMessageBox::question(this, why, tr("Some moves are not saved yet. Save them first?"),
                              QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Discard) return Unsaved::Discard;
    if (answer == QMessageBox::Save) employees_->commit();  // the status bar tells how it went
    return Unsaved::Stay;
}

// Closing with unsaved moves asks; Save closes the window only once the server took them.
void EmployeesWindow::closeEvent(QCloseEvent* event) {
    if (!employees_->hasPendingChanges()) return event->accept();
    if (closeAfterSave_) return event->ignore();  // saving: the window closes once it is saved
    const QMessageBox::StandardButton answer =
        QMessageBox::question(this, tr("Close"), tr("Some moves are not saved yet. Save them before closing?"),
                              QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Discard) return event->accept();
    event->ignore();
    if (answer == QMessageBox::Save) {
        closeAfterSave_ = true;
        employees_->commit();
    }
}
