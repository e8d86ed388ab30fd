#include "finding/find_panel.h"
#include "support/control_harness.h"

#include <gtest/gtest.h>

namespace {

// As after a load: the find panel enabled, "ID" mode, "Non Selected Employees" chosen.
struct Loaded : ControlHarness {
    Loaded() {
        fillList(form().lstEmployees,
                 {{"12", "Mark Twain"}, {"123", "Clara Barton"}, {"7", "Barbara Stone"}, {"40", "Edgar Poe"}});
        fillList(form().lstSelectedEmployees, {{"5", "Oscar Wilde"}, {"99", "Mary Shelley"}});
        for (int i : {0, 1}) {
            form().optFind.setEnabled(i, true);
            form().optList.setEnabled(i, true);
        }
        form().txtVendorID.setEnabled(true);
        form().txtVendorID.setLocked(false);
        form().txtVendorID.setBackColor(kColorWindow);
    }
    void byName(const QString& text) {
        form().optFind.press(0);
        form().txtVendorName.type(text);
    }
    void byId(const QString& text) {
        form().optFind.press(1);
        form().txtVendorID.type(text);
    }
};

struct Search {
    const char* what;
    bool byName;
    bool inSelectedList;
    const char* text;
    const char* foundId;  // nullptr: "Not found"
};

class FindPanelSearch : public ::testing::TestWithParam<Search> {};

TEST_P(FindPanelSearch, FindsTheFirstMatchOrSaysNotFound) {
    const Search& s = GetParam();
    Loaded h;
    Form& f = h.form();
    if (s.inSelectedList) f.optList.press(1);
    s.byName ? h.byName(QString::fromUtf8(s.text)) : h.byId(QString::fromUtf8(s.text));
    if (QString::fromUtf8(s.text).isEmpty()) f.cmdFind.setEnabled(true);  // only the handler is under test here
    ReportList& list = s.inSelectedList ? f.lstSelectedEmployees : f.lstEmployees;
    cmdFindClick(h.control);
    if (!s.foundId) {
        ASSERT_EQ(h.ui.messages.size(), 1u);
        EXPECT_EQ(h.ui.messages[0].text, QStringLiteral("Not found"));
        EXPECT_EQ(h.ui.messages[0].style, 64);
        EXPECT_EQ(h.ui.messages[0].title, QString());
        EXPECT_TRUE(selectedPositions(list).empty());
        return;
    }
    EXPECT_TRUE(h.ui.messages.empty());
    ASSERT_NE(list.currentRow(), nullptr);
    EXPECT_EQ(list.currentRow()->text(), QString::fromUtf8(s.foundId));
    EXPECT_EQ(selectedPositions(list), std::vector<int>({list.positionOf(list.currentRow())}));
    EXPECT_EQ(f.focusedList, &list);
}

INSTANTIATE_TEST_SUITE_P(Table, FindPanelSearch,
                         ::testing::Values(Search{"name part in any case", true, false, "ar",
                                                  "7"},  // Barbara (7) sorts before Clara (123) and Mark (12)
                                           Search{"name upper case", true, false, "AR", "7"},
                                           Search{"name mixed case", true, false, "aR", "7"},
                                           Search{"name anywhere in the text", true, false, "TWAIN", "12"},
                                           Search{"name empty finds the first row", true, false, "", "7"},
                                           Search{"name only in the other list", true, false, "Wilde", nullptr},
                                           Search{"name in the selected list", true, true, "shelley", "99"},
                                           Search{"id whole text", false, false, "123", "123"},
                                           Search{"id prefix is not enough", false, false, "1", nullptr},
                                           Search{"id 12 does not find 123", false, false, "12", "12"},
                                           Search{"id with blank is not the id", false, false, " 7", nullptr},
                                           Search{"id only in the other list", false, false, "5", nullptr},
                                           Search{"id in the selected list", false, true, "5", "5"}),
                         [](const auto& info) { return caseName(info.param.what); });

TEST(FindPanel, AnySearchLeavesSingleSelectionAndNoMoveButtons) {
    for (const char* text : {"40", "404"}) {
        Loaded h;
        Form& f = h.form();
        f.lstEmployees.setMultiSelect(true);
        f.lstSelectedEmployees.setMultiSelect(true);
        for (CommandButton* b : {&f.cmdAdd, &f.cmdAddAll, &f.cmdDelete, &f.cmdRemoveAll}) b->setEnabled(true);
        h.byId(QString::fromUtf8(text));
        f.cmdFind.press();
        EXPECT_FALSE(f.lstEmployees.multiSelect());
        EXPECT_FALSE(f.lstSelectedEmployees.multiSelect());
        for (CommandButton* b : {&f.cmdAdd, &f.cmdAddAll, &f.cmdDelete, &f.cmdRemoveAll})
            EXPECT_FALSE(b->enabled()) << text;
        // A click in the list afterwards enables them again.
        f.lstEmployees.operatorClick(1, ClickModifier::None);
        EXPECT_TRUE(f.cmdAdd.enabled());
    }
}

TEST(FindPanel, ModeSwitchMovesTheEditableBox) {
    Loaded h;
    Form& f = h.form();
    f.txtVendorID.type(QStringLiteral("12"));
    EXPECT_TRUE(f.cmdFind.enabled());

    f.optFind.press(0);  // "Name"
    EXPECT_TRUE(f.txtVendorID.text().isEmpty());
    EXPECT_TRUE(f.txtVendorID.locked());
    EXPECT_EQ(f.txtVendorID.backColor(), kColorButtonFace);
    EXPECT_FALSE(f.txtVendorName.locked());
    EXPECT_EQ(f.txtVendorName.backColor(), kColorWindow);
    EXPECT_FALSE(f.cmdFind.enabled());  // emptying the ID box disabled Find
    EXPECT_FALSE(f.txtVendorID.type(QStringLiteral("9")));

    EXPECT_TRUE(f.txtVendorName.type(QStringLiteral("ma")));
    EXPECT_TRUE(f.cmdFind.enabled());
    EXPECT_TRUE(f.txtVendorName.type(QStringLiteral("m")));
    EXPECT_TRUE(f.cmdFind.enabled());
    EXPECT_TRUE(f.txtVendorName.type(QString()));
    EXPECT_FALSE(f.cmdFind.enabled());

    f.txtVendorName.type(QStringLiteral("ma"));
    f.optFind.press(1);  // back to "ID"
    EXPECT_TRUE(f.txtVendorName.text().isEmpty());
    EXPECT_TRUE(f.txtVendorName.locked());
    EXPECT_EQ(f.txtVendorName.backColor(), kColorButtonFace);
    EXPECT_FALSE(f.txtVendorID.locked());
    EXPECT_EQ(f.txtVendorID.backColor(), kColorWindow);
    EXPECT_FALSE(f.cmdFind.enabled());
}

TEST(FindPanel, DisabledOptionsAndLockedBoxesIgnoreTheOperator) {
    ControlHarness h;  // before any load
    Form& f = h.form();
    f.optFind.press(0);
    EXPECT_TRUE(f.optFind.value(1));
    EXPECT_FALSE(f.txtVendorID.type(QStringLiteral("7")));
    EXPECT_FALSE(f.txtVendorName.type(QStringLiteral("x")));
    EXPECT_FALSE(f.cmdFind.enabled());
}

}  // namespace
