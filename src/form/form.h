#pragma once

#include "controls/command_button.h"
#include "controls/label.h"
#include "controls/option_array.h"
#include "controls/popup_menu.h"
#include "controls/progress_bar.h"
#include "controls/report_list.h"
#include "controls/text_box.h"
#include "rules/texts.h"

#include <QString>
#include <functional>
#include <vector>

// Where a child sits: its container, position and size in twips, and its tab index
// (-1 for the children that take no tab index).
struct ChildPlacement {
    QString name;
    QString container;  // empty: the control itself
    int left, top, width, height;
    int tabIndex;
};

// The design of the control surface, in twips.
inline constexpr int kDesignWidth = 8745;
inline constexpr int kDesignHeight = 5220;

// The elements of the "List to search" options, and of the find options.
enum SearchListOption : int { kSearchNonSelected, kSearchSelected };
enum FindOption : int { kFindByName, kFindById };

// Every child of the control by its name, in its design state.
struct Form {
    Form();

    Frame fraMain{QStringLiteral("fraMain"), QString()};
    // "Empolyees" is kept on purpose: the control's own text, which hosts and stored scripts may match.
    Label lblAllVendors{QStringLiteral("lblAllVendors"), Texts::tr("Non Selected Active Empolyees:")};
    Label lblSelVendors{QStringLiteral("lblSelVendors"), Texts::tr("Selected Active Employees:")};
    ReportList lstEmployees{QStringLiteral("lstEmployees"), 3975};
    ReportList lstSelectedEmployees{QStringLiteral("lstSelectedEmployees"), 3975};
    CommandButton cmdAdd{QStringLiteral("cmdAdd"), QStringLiteral(">"), false};
    CommandButton cmdAddAll{QStringLiteral("cmdAddAll"), QStringLiteral(">>"), false};
    CommandButton cmdRemoveAll{QStringLiteral("cmdRemoveAll"), QStringLiteral("<<"), false};
    CommandButton cmdDelete{QStringLiteral("cmdDelete"), QStringLiteral("<"), false};
    Frame fraFind{QStringLiteral("fraFind"), Texts::tr(" Find Employee")};
    CommandButton cmdCommit{QStringLiteral("cmdCommit"), Texts::tr("Commit to Database"), false};
    ProgressBar prbLoad{QStringLiteral("prbLoad")};
    OptionArray optFind{QStringLiteral("optFind"), {Texts::tr("Name"), false, false}, {Texts::tr("ID"), true, false}};
    TextBox txtVendorID{QStringLiteral("txtVendorID"), false, true, kColorButtonFace};
    TextBox txtVendorName{QStringLiteral("txtVendorName"), true, true, kColorButtonFace};
    Frame Frame1{QStringLiteral("Frame1"), Texts::tr(" List to search  ")};
    OptionArray optList{QStringLiteral("optList"),
                        {Texts::tr("Non Selected Employees"), true, false},
                        {Texts::tr("Selected Employees"), false, false}};
    CommandButton cmdFind{QStringLiteral("cmdFind"), Texts::tr("Find"), false};
    Label lblVersionNumber{QStringLiteral("lblVersionNumber"), Texts::tr("Version Number:")};
    // What the control tells the operator outside message boxes about the last load or commit.
    Label lblNotice{QStringLiteral("lblNotice"), QString()};
    // What "Commit to Database" would write, or nothing when no row is pending.
    Label lblPending{QStringLiteral("lblPending"), QString()};
    PopupMenu mnuRemove{QStringLiteral("mnuRemove"), Texts::tr("Remove")};

    // F3 (false) or Shift+F3 (true) anywhere in the control: the next or previous match of the
    // find text in the list to search.
    std::function<void(bool backwards)> findNextKey;
    // The child that last took the focus: a list the control focused or the operator clicked.
    const ReportList* focusedList = nullptr;
};

// The placements of every child, containers before their contents.
const std::vector<ChildPlacement>& formLayout();
const ChildPlacement& placementOf(const QString& name);

// Switches off the four move buttons.
void disableMoveButtons(Form& form);
