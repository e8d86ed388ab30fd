#pragma once

#include <QWidget>
#include <map>

class CenterEmployee;
class ReportListView;

// The control's window: a Qt widget for every child of the form, placed by its design position
// in twips, each drawing its state object and reporting what the operator does to it.
class CenterEmployeeView : public QWidget {
    Q_OBJECT
public:
    CenterEmployeeView(CenterEmployee& control, QWidget* parent = nullptr);

    QWidget* child(const QString& name) const;
    QSize sizeHint() const override;

private:
    QRect pixels(int left, int top, int width, int height) const;
    void build();

    CenterEmployee& control_;
    double twipsToPixelsX_;
    double twipsToPixelsY_;
    std::map<QString, QWidget*> children_;
};
