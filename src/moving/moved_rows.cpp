#include "moving/moved_rows.h"

#include "control/form.h"
#include "loading/count_labels.h"

ListRow* appendMovedRow(ReportList& target, const QString& text, const QString& name,
                        const QString& idColumnBeforeMove, QChar targetLetter) {
    ListRow* row = target.add(text);
    target.setSubItem(row, 1, name);
    target.setSubItem(row, 2, movedIdColumn(text, idColumnBeforeMove, targetLetter));
    return row;
}

void captionCountLabels(Form& form) {
    form.lblSelVendors.setCaption(selectedCaption(form.lstSelectedEmployees.count()));
    form.lblAllVendors.setCaption(nonSelectedCaption(form.lstEmployees.count()));
}
