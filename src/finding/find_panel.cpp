#include "finding/find_panel.h"

#include "control/center_employee.h"
#include "platform/ui_services.h"

namespace {

constexpr int kNameMode = 0;

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
    return form.optList.value(0) ? form.lstEmployees : form.lstSelectedEmployees;
}

ListRow* findByName(const ReportList& list, const QString& text) {
    const Int16 count = Int16::from(list.count());
    for (int i = 1; i <= count; ++i) {
        ListRow* row = list.item(i);
        if (row->subItem(1).contains(text, Qt::CaseInsensitive)) return row;
    }
    return nullptr;
}

}  // namespace

void optFindClick(CenterEmployee& c, int index) {
    Form& form = c.form();
    if (index == kNameMode) {
        makeReadOnly(form.txtVendorID);
        makeEditable(form.txtVendorName);
    } else {
        makeReadOnly(form.txtVendorName);
        makeEditable(form.txtVendorID);
    }
}

void txtVendorIDChange(CenterEmployee& c) {
    c.form().cmdFind.setEnabled(!c.form().txtVendorID.text().isEmpty());
}

void txtVendorNameChange(CenterEmployee& c) {
    c.form().cmdFind.setEnabled(!c.form().txtVendorName.text().isEmpty());
}

void cmdFindClick(CenterEmployee& c) {
    Form& form = c.form();
    form.lstSelectedEmployees.setMultiSelect(false);
    form.lstEmployees.setMultiSelect(false);
    form.cmdDelete.setEnabled(false);
    form.cmdRemoveAll.setEnabled(false);
    form.cmdAddAll.setEnabled(false);
    form.cmdAdd.setEnabled(false);

    ReportList& list = chosenList(form);
    ListRow* found = form.optFind.value(kNameMode) ? findByName(list, form.txtVendorName.text())
                                                   : list.findItem(form.txtVendorID.text());
    if (!found) {
        c.ui().messageBox(QStringLiteral("Not found"), kStyleInformation, QString());
        return;
    }
    list.setSelected(found, true);
    list.ensureVisible(found);
    list.setFocus();
}
