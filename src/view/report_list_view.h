#pragma once

#include "view/report_list_model.h"

#include <QTableView>

class QMimeData;

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

    // The drag of this list's selected rows, as a drop on the other list reads it.
    QMimeData* selectedRowsForDrag();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void afterRefresh();
    void fitColumns();
    void fitRowHeight();
    int positionAt(const QPoint& point) const;
    int rowForKey(int key, int current) const;
    ReportListView* dragSource(const QMimeData* data) const;
    void showDropIndicator(bool on);
    void mirrorSelectionForScreenReaders();

    ReportList& list_;
    ReportListModel model_;
    double twipsToPixels_;
    QPoint pressedAt_;
    int pressedRow_ = 0;           // the row a left press landed on, while the button is down
    bool clickOnRelease_ = false;  // a press on a selected row: a click only if no drag follows
    bool dropIndicated_ = false;
    std::pair<int, int> columnsFitted_{-1, -1};  // the list's clears and columns when last fitted
};
