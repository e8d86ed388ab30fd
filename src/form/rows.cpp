#include "form/rows.h"
#include "rules/texts.h"

#include "form/form.h"

#include <QStringList>

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

QString pendingSummary(const PendingCounts& counts) {
    QStringList parts;
    if (counts.toAdd > 0) parts << Texts::tr("%1 to add").arg(counts.toAdd);
    if (counts.toRemove > 0) parts << Texts::tr("%1 to remove").arg(counts.toRemove);
    return parts.join(QStringLiteral(", "));
}

void captionCountLabels(Form& form) {
    form.lblSelVendors.setCaption(selectedCaption(form.lstSelectedEmployees.count()));
    form.lblAllVendors.setCaption(nonSelectedCaption(form.lstEmployees.count()));
}
