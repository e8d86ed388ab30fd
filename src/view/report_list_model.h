#pragma once

#include <QAbstractTableModel>

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
