#include "form/rows.h"

#include "form/form.h"

ListRow* appendMovedRow(ReportList& target, const QString& text, const QString& name, const QString& idColumnBeforeMove,
                        QChar targetLetter) {
    ListRow* row = target.add(text);
    target.setSubItem(row, kNameColumn, name);
    target.setSubItem(row, kIdCopyColumn, movedIdColumn(text, idColumnBeforeMove, targetLetter));
    return row;
}

PendingCounts pendingCounts(const Form& form) {
    const auto pending = [](const ListRow& row) { return isPending(row.subItem(kIdCopyColumn)); };
    return {form.lstSelectedEmployees.countIf(pending), form.lstEmployees.countIf(pending)};
}

void captionCountLabels(Form& form) {
    form.lblSelVendors.setCaption(selectedCaption(form.lstSelectedEmployees.count()));
    form.lblAllVendors.setCaption(nonSelectedCaption(form.lstEmployees.count()));
}
