#pragma once

#include <TarvoCenterEmp/CenterEmployeeWidget>

#include <QMainWindow>

class QAction;
class QLabel;
class QSpinBox;

// A main window around the widget, as a program that uses it would have one: a centre picker,
// Save, Reload and Revert actions, a status bar fed by the widget's signals, and a close guard
// that does not let unsaved moves go without asking.
class EmployeesWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit EmployeesWindow(const QString& server, int centre, QWidget* parent = nullptr);

    CenterEmployeeWidget* employees() const { return employees_; }
    QSpinBox* centrePicker() const { return picker_; }
    QAction* saveAction() const { return save_; }
    // What the status bar says about the last outcome.
    QString status() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    enum class Unsaved { Saved, Discard, Stay };
    // Asks what to do with moves not yet saved before they would be lost; Saved when none.
    Unsaved askAboutUnsavedMoves(const QString& why);
    void pickCentre(int centre);
    void updateActions();
    void updateCounts();
    void say(const QString& text);

    CenterEmployeeWidget* employees_;
    QSpinBox* picker_;
    QAction* save_;
    QAction* reload_;
    QAction* revert_;
    QLabel* counts_;
    QLabel* outcome_;
    int shownCentre_;
    bool closeAfterSave_ = false;
};
