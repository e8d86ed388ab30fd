#include "view/report_list_model.h"

#include "controls/report_list.h"
#include "form/rows.h"

#include <QFont>

#include <QApplication>
#include <QPalette>

ReportListModel::ReportListModel(ReportList& list, QObject* parent) : QAbstractTableModel(parent), list_(list) {
    connect(&list_, &ReportList::rowsChanged, this, &ReportListModel::scheduleRefresh);
    connect(&list_, &ReportList::scrollRequested, this, &ReportListModel::scheduleRefresh);
    // Whatever the list went through before this model existed is drawn on the first refresh.
    scheduleRefresh();
}

int ReportListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : list_.count(); }

int ReportListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(list_.columns().size());
}

QVariant ReportListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= list_.count()) return {};
    const ListRow* row = list_.item(index.row() + 1);
    const bool pending = isPending(row->subItem(kIdCopyColumn));
    switch (role) {
    case Qt::DisplayRole: return index.column() < ListRow::kColumnCount ? row->subItem(index.column()) : QString();
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
    if (section < 0 || section >= int(list_.columns().size())) return {};
    return list_.columns()[size_t(section)].header;
}

void ReportListModel::scheduleRefresh() {
    if (refreshScheduled_) return;
    refreshScheduled_ = true;
    QMetaObject::invokeMethod(this, &ReportListModel::refresh, Qt::QueuedConnection);
}

void ReportListModel::refresh() {
    refreshScheduled_ = false;
    list_.takeChanges();
    beginResetModel();
    endResetModel();
    emit refreshed();
}
