#include "form/form.h"

#include <stdexcept>

Form::Form() {
    mnuRemove.items().push_back({QStringLiteral("mnuRemoveItems"), QStringLiteral("Remove"), {}});
    for (ReportList* list : {&lstEmployees, &lstSelectedEmployees})
        QObject::connect(list, &ReportList::focusRequested, list, [this, list] { focusedList = list; });
}

void disableMoveButtons(Form& form) {
    for (CommandButton* button : {&form.cmdAdd, &form.cmdAddAll, &form.cmdDelete, &form.cmdRemoveAll})
        button->setEnabled(false);
}

const std::vector<ChildPlacement>& formLayout() {
    // Optional-button arrays are named with their index; Inet1 has a design position only.
    static const std::vector<ChildPlacement> layout = {
        {QStringLiteral("fraMain"), QString(), 0, -90, 8745, 5310, 0},
        {QStringLiteral("Inet1"), QString(), 4710, 3030, 0, 0, -1},
        {QStringLiteral("lblAllVendors"), QStringLiteral("fraMain"), 150, 150, 3105, 255, 19},
        {QStringLiteral("lblSelVendors"), QStringLiteral("fraMain"), 4710, 150, 2625, 255, 20},
        {QStringLiteral("lstEmployees"), QStringLiteral("fraMain"), 105, 360, 3975, 2775, 17},
        {QStringLiteral("lstSelectedEmployees"), QStringLiteral("fraMain"), 4650, 360, 3975, 2775, 18},
        {QStringLiteral("cmdAdd"), QStringLiteral("fraMain"), 4065, 960, 615, 375, 4},
        {QStringLiteral("cmdAddAll"), QStringLiteral("fraMain"), 4065, 1335, 615, 375, 3},
        {QStringLiteral("cmdRemoveAll"), QStringLiteral("fraMain"), 4065, 1710, 615, 375, 2},
        {QStringLiteral("cmdDelete"), QStringLiteral("fraMain"), 4065, 2085, 615, 375, 5},
        {QStringLiteral("fraFind"), QStringLiteral("fraMain"), 120, 3120, 4575, 2055, 6},
        {QStringLiteral("cmdCommit"), QStringLiteral("fraMain"), 6945, 3675, 1680, 375, 1},
        {QStringLiteral("prbLoad"), QStringLiteral("fraMain"), 4785, 4395, 3870, 255, 16},
        {QStringLiteral("lblNotice"), QStringLiteral("fraMain"), 4785, 4680, 3870, 450, -1},
        {QStringLiteral("lblPending"), QStringLiteral("fraMain"), 4785, 3735, 2100, 255, -1},
        {QStringLiteral("optFind(1)"), QStringLiteral("fraFind"), 135, 240, 735, 255, 11},
        {QStringLiteral("txtVendorID"), QStringLiteral("fraFind"), 915, 255, 1095, 285, 12},
        {QStringLiteral("optFind(0)"), QStringLiteral("fraFind"), 135, 600, 765, 255, 13},
        {QStringLiteral("txtVendorName"), QStringLiteral("fraFind"), 915, 615, 3330, 285, 14},
        {QStringLiteral("Frame1"), QStringLiteral("fraFind"), 135, 915, 2490, 825, 7},
        {QStringLiteral("cmdFind"), QStringLiteral("fraFind"), 2865, 1200, 975, 375, 10},
        {QStringLiteral("lblVersionNumber"), QStringLiteral("fraFind"), 150, 1770, 2175, 255, 15},
        {QStringLiteral("optList(0)"), QStringLiteral("Frame1"), 120, 225, 2100, 255, 9},
        {QStringLiteral("optList(1)"), QStringLiteral("Frame1"), 120, 555, 1920, 195, 8},
    };
    return layout;
}

const ChildPlacement& placementOf(const QString& name) {
    for (const auto& placement : formLayout())
        if (placement.name == name) return placement;
    throw std::out_of_range("no child named " + name.toStdString());
}
