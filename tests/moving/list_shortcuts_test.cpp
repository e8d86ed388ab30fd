#include "support/control_harness.h"

#include <gtest/gtest.h>

namespace {

struct Loaded : ControlHarness {
    Loaded() {
        fillList(form().lstEmployees, {{"7", "Ann"}, {"42", "Bob"}});
        fillList(form().lstSelectedEmployees, {{"5", "Di"}, {"88", "Ed"}});
    }
};

TEST(ListShortcuts, DoubleClicksRunTheSingleRowMoves) {
    Loaded h;
    Form& f = h.form();
    f.lstEmployees.operatorDoubleClick(2);
    EXPECT_EQ(f.lstSelectedEmployees.findItem(QStringLiteral("42"))->subItem(2), QStringLiteral("000042N"));
    f.lstSelectedEmployees.operatorDoubleClick(1);  // 5
    EXPECT_EQ(f.lstEmployees.findItem(QStringLiteral("5"))->subItem(2), QStringLiteral("000005D"));
    EXPECT_TRUE(f.cmdCommit.enabled());
}

TEST(ListShortcuts, DoubleClickOnADuplicateChangesNothing) {
    Loaded h;
    fillList(h.form().lstSelectedEmployees, {{"7", "Ann twin"}});
    h.form().lstEmployees.operatorDoubleClick(1);
    EXPECT_EQ(h.form().lstEmployees.count(), 2);
    EXPECT_EQ(h.form().lstSelectedEmployees.count(), 3);
}

TEST(ListShortcuts, RightButtonOffersRemoveOnlyOverARow) {
    struct Case {
        const char* what;
        std::function<void(Loaded&)> act;
        bool menu;
    };
    const Case cases[] = {
        {"right click on a row",
         [](Loaded& h) {
             h.form().lstSelectedEmployees.operatorRightPress(2);
             h.form().lstSelectedEmployees.operatorRelease(2);
         },
         true},
        {"left release", [](Loaded& h) { h.form().lstSelectedEmployees.operatorRelease(1); }, false},
        {"middle release", [](Loaded& h) { h.form().lstSelectedEmployees.operatorRelease(4); }, false},
        {"empty list",
         [](Loaded& h) {
             h.form().lstSelectedEmployees.clear();
             h.form().lstSelectedEmployees.operatorRelease(2);
         },
         false},
        {"current row with empty text",
         [](Loaded& h) {
             ReportList& l = h.form().lstSelectedEmployees;
             l.clear();
             l.setSelected(l.add(QString()), true);
             l.operatorRelease(2);
         },
         false},
    };
    for (const Case& c : cases) {
        Loaded h;
        c.act(h);
        EXPECT_EQ(h.ui.openMenu != nullptr, c.menu) << c.what;
        EXPECT_TRUE(h.ui.messages.empty()) << c.what;
        if (c.menu && h.ui.openMenu) {  // a missing menu is reported just above
            EXPECT_EQ(h.ui.openMenu->captions(), QStringList{QStringLiteral("Remove")}) << c.what;
        }
    }
}

TEST(ListShortcuts, RemoveMovesTheCurrentRowEvenWithTheButtonDisabled) {
    Loaded h;
    Form& f = h.form();
    f.lstSelectedEmployees.operatorRightPress(2);
    f.lstSelectedEmployees.operatorRelease(2);
    ASSERT_NE(h.ui.openMenu, nullptr);
    ASSERT_FALSE(f.cmdDelete.enabled());
    h.ui.openMenu->choose(QStringLiteral("Remove"));
    EXPECT_EQ(f.lstEmployees.findItem(QStringLiteral("88"))->subItem(2), QStringLiteral("000088D"));
    EXPECT_EQ(f.lstSelectedEmployees.count(), 1);
    EXPECT_FALSE(f.cmdDelete.enabled());
    EXPECT_TRUE(f.cmdAdd.enabled());
}

TEST(ListShortcuts, RemoveWithSeveralSelectedMovesOnlyTheCurrentRow) {
    Loaded h;
    Form& f = h.form();
    f.lstSelectedEmployees.setMultiSelect(true);
    f.lstSelectedEmployees.operatorClick(1, ClickModifier::None);
    f.lstSelectedEmployees.operatorClick(2, ClickModifier::Ctrl);
    f.lstSelectedEmployees.operatorRightPress(2);
    f.lstSelectedEmployees.operatorRelease(2);
    ASSERT_NE(h.ui.openMenu, nullptr);
    h.ui.openMenu->choose(QStringLiteral("Remove"));
    EXPECT_EQ(f.lstEmployees.count() + f.lstSelectedEmployees.count(), 4);
    EXPECT_NE(f.lstSelectedEmployees.findItem(QStringLiteral("5")), nullptr);
}

}  // namespace
