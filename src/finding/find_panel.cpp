#include "finding/find_panel.h"

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

ListRow* findByName(const ReportList& list, const QString& text) {
    const Int16 count = Int16::from(list.count());
    for (int i = 1; i <= count; ++i) {
        ListRow* row = list.item(i);
        if (row->subItem(kNameColumn).contains(text, Qt::CaseInsensitive)) return row;
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
        control.ui().messageBox(QStringLiteral("Not found"), kStyleInformation, QString());
        return;
    }
    list.setSelected(found, true);
    list.ensureVisible(found);
    list.setFocus();
}
