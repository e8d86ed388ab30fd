#pragma once

#include <QAbstractTableModel>

#include <vector>

class ReportList;

// Shows a report list's rows to a view. The list is the truth: this model only reads it. The
// list announces its first change before it happens, and the model begins a reset then; the
// reset ends once per batch of changes, however many rows an action touched: first thing when
// the thread's events run again, before any paint or input that was already waiting.
class ReportListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // True for a row a commit would write (its hidden ID column carries a marker).
    static constexpr int PendingRole = Qt::UserRole + 1;

    explicit ReportListModel(ReportList& list, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    ReportList& list() { return list_; }
    // How a pending row of this list shows and reads: its sign and "to be added" or "to be removed".
    void setPendingLook(QChar sign, const QString& description) {
        pendingSign_ = sign;
        pendingDescription_ = description;
    }
    // The list's column a column of this model shows: the model shows only the list's columns
    // of some width, so that a column kept for sorting is neither drawn nor read out.
    int listColumn(int column) const { return shownColumns_[std::size_t(column)]; }
    // This model's column for a list column; -1 when it is not shown.
    int columnOf(int listColumn) const;

signals:
    // The list's changes are shown (or a scroll was asked for): a view follows the list's
    // current row, selection and scroll target.
    void refreshed();

protected:
    bool event(QEvent* event) override;

private:
    void listAboutToChange();
    void scheduleRefresh();

    ReportList& list_;
    void findShownColumns();

    bool resetOpen_ = false;
    bool refreshScheduled_ = false;
    QChar pendingSign_;
    QString pendingDescription_;
    std::vector<int> shownColumns_;
};
