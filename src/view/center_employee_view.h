#pragma once

#include "form/form.h"

#include <QWidget>
#include <functional>
#include <map>
#include <vector>

class QLabel;
class QLineEdit;
class QScrollArea;
struct PendingLook;

// The control's window: a Qt widget for every child of the form, placed by its design position
// in twips, each drawing its state object and reporting what the operator does to it.
class CenterEmployeeView : public QWidget {
    Q_OBJECT
public:
    explicit CenterEmployeeView(Form& form, QWidget* parent = nullptr);

    QWidget* child(const QString& name) const;
    QSize sizeHint() const override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QRect pixels(int left, int top, int width, int height) const;
    void build();
    QWidget* place(const QString& name, QWidget* widget);
    void addFrame(Frame& state);
    QLabel* addLabel(Label& state);
    QWidget* addButton(CommandButton& state);
    QWidget* addOption(OptionArray& state, int index);
    QWidget* addTextBox(TextBox& state);
    void bindTextBox(QLineEdit* widget, TextBox& box);
    QWidget* addList(ReportList& state, const PendingLook& pending);
    void addProgressBar(ProgressBar& state);
    void addNotice(Label& state);
    void addPendingSummary(Label& state);
    void addKeys();
    void labelList(QLabel* label, Label& caption, QWidget* list);
    void describeChildren();

    Form& form_;
    double twipsToPixelsX_;
    double twipsToPixelsY_;
    std::map<QString, QWidget*> children_;
    QScrollArea* scroll_;
    QWidget* surface_;
    std::vector<std::function<void()>> paletteFollowers_;  // what takes its colours again
};
