#include "moving/single_row_moves.h"

#include "form/control.h"
#include "form/rows.h"

namespace {

bool holdsText(const ReportList& list, const QString& text) {
    const Int16 count = Int16::from(list.count());
    for (int i = 1; i <= count; ++i)
        if (list.item(i)->text() == text) return true;
    return false;
}

// Selects the moved row in the target, focuses the target and scrolls to it.
void showMovedRow(ReportList& target, const QString& text) {
    ListRow* found = target.findItem(text);
    if (!found) return;
    target.setSelected(found, true);
    target.setFocus();
    target.ensureVisible(target.selectedItem());
}

// Only the moved row leaves the source. Removing every selected row, while re-creating only
// the current one, would make the other selected employees vanish from both lists.
void removeMovedRow(ReportList& source, ListRow* moved) {
    const int position = source.positionOf(moved);
    if (position > 0) source.remove(position);
}

// The row a move takes: the source's current row, when the source has rows and the row has a text.
ListRow* rowToMove(ReportList& source) {
    if (source.count() == 0) return nullptr;
    ListRow* current = source.selectedItem();
    return current && !current->text().isEmpty() ? current : nullptr;
}

}  // namespace

void cmdAddClick(Control& control) {
    Form& form = control.form();
    ReportList& source = form.lstEmployees;
    ReportList& target = form.lstSelectedEmployees;
    try {
        ListRow* current = rowToMove(source);
        if (!current) return;
        const QString text = current->text();
        if (holdsText(target, text)) return;
        const QString name = current->subItem(kNameColumn);
        const QString idColumn = current->subItem(kIdCopyColumn);
        removeMovedRow(source, current);
        target.setMultiSelect(false);
        appendMovedRow(target, text, name, idColumn, kMarkAssign);
        captionCountLabels(form);
        showMovedRow(target, text);
        form.cmdAdd.setEnabled(false);
        form.cmdDelete.setEnabled(true);
        form.cmdCommit.setEnabled(true);
        form.optList.setValue(kSearchSelected, true);
        if (source.count() == 0) form.optList.setEnabled(kSearchNonSelected, false);
        form.optList.setEnabled(kSearchSelected, target.count() > 0);
    } catch (const std::exception&) {
        // The move ends where it failed; what it changed stays.
    }
}

void cmdDeleteClick(Control& control) {
    Form& form = control.form();
    ReportList& source = form.lstSelectedEmployees;
    ReportList& target = form.lstEmployees;
    try {
        ListRow* current = rowToMove(source);
        if (!current) return;
        const QString text = current->text();
        const QString name = current->subItem(kNameColumn);
        const QString idColumn = current->subItem(kIdCopyColumn);
        target.setMultiSelect(false);
        appendMovedRow(target, text, name, idColumn, kMarkUnassign);
        removeMovedRow(source, current);
        captionCountLabels(form);
        showMovedRow(target, text);
        form.cmdDelete.setEnabled(false);
        form.cmdAdd.setEnabled(true);
        form.cmdCommit.setEnabled(true);
        if (source.count() == 0) form.optList.setEnabled(kSearchSelected, false);
        form.optList.setValue(kSearchNonSelected, true);
        form.optList.setEnabled(kSearchNonSelected, target.count() > 0);
    } catch (const std::exception&) {
        // The move ends where it failed; what it changed stays.
    }
}
