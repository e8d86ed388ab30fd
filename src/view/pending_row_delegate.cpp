#include "view/pending_row_delegate.h"

#include "view/report_list_model.h"

void PendingRowDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.column() == 0 && index.data(ReportListModel::PendingRole).toBool())
        option->text = sign_ + QLatin1Char(' ') + option->text;
}
