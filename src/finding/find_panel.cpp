#include "finding/find_panel.h"
#include "rules/texts.h"

#include "form/control.h"
#include "form/rows.h"
#include "surface/ui_services.h"

namespace {

void makeEditable(TextBox& box) {
    box.setLocked(false);
    box.setBackColor(kColorWindow);
}

void makeReadOnly(TextBox& box) {
    box.setText(QString());
    box.setLocked(true);
    box.setBackColor(kColorButtonFace);
}

ReportList& chosenList(Form& form) {
    return form.optList.value(kSearchNonSelected) ? form.lstEmployees : form.lstSelectedEmployees;
}

bool nameMatches(const ListRow& row, const QString& text) {
    return row.subItem(kNameColumn).contains(text, Qt::CaseInsensitive);
}

ListRow* findByName(const ReportList& list, const QString& text) {
    const Int16 count = Int16::from(list.count());
    for (int i = 1; i <= count; ++i) {
        ListRow* row = list.item(i);
        if (nameMatches(*row, text)) return row;
    }
    return nullptr;
}

}  // namespace

void optFindClick(Control& control, int index) {
    Form& form = control.form();
    if (index == kFindByName) {
        makeReadOnly(form.txtVendorID);
        makeEditable(form.txtVendorName);
    } else {
        makeReadOnly(form.txtVendorName);
        makeEditable(form.txtVendorID);
    }
}

void txtVendorIDChange(Control& control) {
    control.form().cmdFind.setEnabled(!control.form().txtVendorID.text().isEmpty());
}

void txtVendorNameChange(Control& control) {
    control.form().cmdFind.setEnabled(!control.form().txtVendorName.text().isEmpty());
}

void cmdFindClick(Control& control) {
    Form& form = control.form();
    form.lstSelectedEmployees.setMultiSelect(false);
    form.lstEmployees.setMultiSelect(false);
    disableMoveButtons(form);

    ReportList& list = chosenList(form);
    ListRow* found = form.optFind.value(kFindByName) ? findByName(list, form.txtVendorName.text())
                                                     : list.findItem(form.txtVendorID.text());
    if (!found) {
        control.ui().messageBox(Texts::tr("Not found"), kStyleInformation, QString());
        return;
    }
    list.setSelected(found, true);
    list.ensureVisible(found);
    list.setFocus();
}

void findNextMatch(Control& control, bool backwards) {
    Form& form = control.form();
    const bool byName = form.optFind.value(kFindByName);
    const QString text = byName ? form.txtVendorName.text() : form.txtVendorID.text();
    if (text.isEmpty()) return;
    ReportList& list = chosenList(form);
    const int count = list.count();
    const int current = list.currentRow() ? list.positionOf(list.currentRow()) : 0;
    const int step = backwards ? count - 1 : 1;  // one back is count - 1 forward, around the list
    int position = current == 0 && backwards ? 1 : current;
    for (int tried = 0; tried < count; ++tried) {
        position = (position - 1 + step) % count + 1;
        const ListRow& row = *list.item(position);
        if (byName ? nameMatches(row, text) : row.text() == text) {
            list.operatorClick(position, ClickModifier::None);
            list.ensureVisible(list.currentRow());
            return;
        }
    }
    control.ui().messageBox(Texts::tr("Not found"), kStyleInformation, QString());
}
