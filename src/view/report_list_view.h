#pragma once

#include "view/report_list_model.h"

#include <QTableView>

class ReportList;

// How a list shows its pending rows: the sign before the ID, and what a screen reader says.
struct PendingLook {
    QChar sign;
    QString description;
};

// Draws a report list and turns what the operator does with mouse and keyboard into the list's
// state changes and events. It keeps no selection of its own.
class ReportListView : public QTableView {
    Q_OBJECT
public:
    ReportListView(ReportList& list, double twipsToPixels, const PendingLook& pending, QWidget* parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void afterRefresh();
    void fitRowHeight();
    int positionAt(const QPoint& point) const;
    int rowForKey(int key, int current) const;
    void mirrorSelectionForScreenReaders();

    ReportList& list_;
    ReportListModel model_;
    double twipsToPixels_;
};
