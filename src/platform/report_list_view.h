#pragma once

#include <QAbstractTableModel>
#include <QTreeView>

class ReportList;

// Shows a report list's rows to a view. The list is the truth: this model only reads it, and
// refreshes once per batch of changes, however many rows an action touched.
class ReportListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ReportListModel(ReportList& list, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    ReportList& list() { return list_; }

signals:
    void refreshed();

private:
    void scheduleRefresh();
    void refresh();

    ReportList& list_;
    bool refreshScheduled_ = false;
};

// Draws a report list and turns what the operator does with mouse and keyboard into the list's
// state changes and events. It keeps no selection of its own.
class ReportListView : public QTreeView {
    Q_OBJECT
public:
    ReportListView(ReportList& list, double twipsToPixels, QWidget* parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void afterRefresh();
    int positionAt(const QPoint& point) const;

    ReportList& list_;
    ReportListModel model_;
    double twipsToPixels_;
};
