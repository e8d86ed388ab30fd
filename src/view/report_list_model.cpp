#include "view/report_list_model.h"

#include "controls/report_list.h"
#include "form/rows.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QFont>
#include <QPalette>

#include <algorithm>

namespace {

// The event that ends a batch of changes. It is posted at high priority, so that it runs
// before any paint or input event the thread already had waiting.
const QEvent::Type kRefreshEvent = QEvent::Type(QEvent::registerEventType());

}  // namespace

ReportListModel::ReportListModel(ReportList& list, QObject* parent) : QAbstractTableModel(parent), list_(list) {
    connect(&list_, &ReportList::rowsAboutToChange, this, &ReportListModel::listAboutToChange);
    connect(&list_, &ReportList::scrollRequested, this, &ReportListModel::scheduleRefresh);
    // The model starts with the list as it is; its next change is announced to this model.
    list_.takeChanges();
    findShownColumns();
    scheduleRefresh();
}

int ReportListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : list_.count(); }

int ReportListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(shownColumns_.size());
}

void ReportListModel::findShownColumns() {
    shownColumns_.clear();
    for (int i = 0; i < int(list_.columns().size()); ++i)
        if (list_.columns()[std::size_t(i)].width > 0) shownColumns_.push_back(i);
}

int ReportListModel::columnOf(int listColumn) const {
    const auto it = std::find(shownColumns_.begin(), shownColumns_.end(), listColumn);
    return it == shownColumns_.end() ? -1 : int(it - shownColumns_.begin());
}

QVariant ReportListModel::data(const QModelIndex& index, int role) const {
    // An index from before a change that was never announced: Qt warns, and a test fails.
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
    const ListRow* row = list_.item(index.row() + 1);
    const bool pending = isPending(row->subItem(kIdCopyColumn));
    const int column = listColumn(index.column());
    const QString text = column < ListRow::kColumnCount ? row->subItem(column) : QString();
    switch (role) {
    case Qt::DisplayRole: return text;
    case Qt::ToolTipRole:
        return text;  // whole, where a narrow column elides it
    // A pending row's ID reads as it shows, with what a commit would do: "+ 101, to be added".
    case Qt::AccessibleTextRole:
        if (!pending || column != 0) return text;
        return pendingSign_ + QLatin1Char(' ') + text + QStringLiteral(", ") + pendingDescription_;
    case PendingRole: return pending;
    case Qt::FontRole: {
        if (!pending) return {};
        QFont italic;
        italic.setItalic(true);
        return italic;
    }
    case Qt::AccessibleDescriptionRole: return pending ? pendingDescription_ : QString();
    case Qt::BackgroundRole:
        if (row->selected()) return QApplication::palette().brush(QPalette::Active, QPalette::Highlight);
        return {};
    case Qt::ForegroundRole:
        if (row->selected()) return QApplication::palette().brush(QPalette::Active, QPalette::HighlightedText);
        return {};
    default: return {};
    }
}

QVariant ReportListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    if (section < 0 || section >= columnCount()) return {};
    return list_.columns()[size_t(listColumn(section))].header;
}

// The list announces once per batch: until this model takes its changes, it says no more.
void ReportListModel::listAboutToChange() {
    beginResetModel();
    resetOpen_ = true;
    scheduleRefresh();
}

void ReportListModel::scheduleRefresh() {
    if (refreshScheduled_) return;
    refreshScheduled_ = true;
    QCoreApplication::postEvent(this, new QEvent(kRefreshEvent), Qt::HighEventPriority);
}

bool ReportListModel::event(QEvent* event) {
    if (event->type() != kRefreshEvent) return QAbstractTableModel::event(event);
    refreshScheduled_ = false;
    if (resetOpen_) {
        resetOpen_ = false;
        list_.takeChanges();
        findShownColumns();
        endResetModel();
    }
    emit refreshed();  // the changes are shown, or the list asked for a scroll
    return true;
}
