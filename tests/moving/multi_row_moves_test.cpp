#include "moving/multi_row_moves.h"
#include "form/rows.h"
#include "support/control_harness.h"

#include <gtest/gtest.h>

namespace {

struct Loaded : ControlHarness {
    Loaded() {
        fillList(form().lstEmployees, {{"1", "a"}, {"2", "b"}, {"3", "c"}, {"4", "d"}});
        fillList(form().lstSelectedEmployees, {{"10", "j"}, {"11", "k"}});
        for (int i : {0, 1}) form().optList.setEnabled(i, true);
    }
    void select(ReportList& list, std::initializer_list<int> positions) {
        list.setMultiSelect(true);
        bool first = true;
        for (int p : positions) {
            list.operatorClick(p, first ? ClickModifier::None : ClickModifier::Ctrl);
            first = false;
        }
    }
};

TEST(MultiRowMoves, MovesEverySelectedRowWithItsMarker) {
    Loaded h;
    Form& f = h.form();
    f.lstEmployees.setSubItem(f.lstEmployees.item(3), 2, QStringLiteral("000003D"));  // moved out earlier
    f.lstSelectedEmployees.setMultiSelect(true);
    f.lstSelectedEmployees.setSelected(f.lstSelectedEmployees.item(1), true);  // an earlier selection there
    h.select(f.lstEmployees, {1, 3, 4});
    cmdAddAllClick(h.control);
    EXPECT_EQ(rowsOf(f.lstEmployees), (std::vector<QStringList>{{"2", "b", "000002"}}));
    EXPECT_EQ(rowsOf(f.lstSelectedEmployees), (std::vector<QStringList>{{"1", "a", "000001N"},
                                                                        {"3", "c", "000003"},
                                                                        {"4", "d", "000004N"},
                                                                        {"10", "j", "000010"},
                                                                        {"11", "k", "000011"}}));
    EXPECT_EQ(selectedPositions(f.lstSelectedEmployees), std::vector<int>({1, 2, 3}));
    EXPECT_TRUE(f.lstSelectedEmployees.multiSelect());
    EXPECT_EQ(f.lstSelectedEmployees.sortKey(), 2);
    EXPECT_EQ(f.focusedList, &f.lstSelectedEmployees);
    EXPECT_EQ(f.lblSelVendors.caption(), QStringLiteral("Selected Active Employees (5):"));
    EXPECT_EQ(f.lblAllVendors.caption(), QStringLiteral("Non Selected Active Employees (1):"));
    EXPECT_FALSE(f.cmdAddAll.enabled());
    EXPECT_TRUE(f.cmdRemoveAll.enabled());
    EXPECT_TRUE(f.cmdCommit.enabled());
    EXPECT_TRUE(f.optList.value(1));
}

TEST(MultiRowMoves, BackAndForthRestoresEveryMarker) {
    Loaded h;
    Form& f = h.form();
    f.lstEmployees.setSubItem(f.lstEmployees.item(2), 2, QStringLiteral("000002D"));
    const auto before = rowsOf(f.lstEmployees);
    h.select(f.lstEmployees, {1, 2, 3, 4});
    cmdAddAllClick(h.control);
    cmdRemoveAllClick(h.control);
    EXPECT_EQ(rowsOf(f.lstEmployees), before);
    EXPECT_EQ(rowsOf(f.lstSelectedEmployees), (std::vector<QStringList>{{"10", "j", "000010"}, {"11", "k", "000011"}}));
    EXPECT_EQ(selectedPositions(f.lstEmployees), std::vector<int>({1, 2, 3, 4}));
    EXPECT_TRUE(f.cmdAddAll.enabled());
    EXPECT_FALSE(f.cmdRemoveAll.enabled());
}

// A move of many rows re-marks each hidden ID column where it is stored; whatever the ID looks
// like, the result must be the one rule's, both ways.
TEST(MultiRowMoves, EveryKindOfIdIsMarkedAsOneRowAloneWouldBe) {
    ControlHarness h;
    Form& f = h.form();
    fillList(f.lstEmployees, {{"7", "plain"},
                              {"1234567", "seven digits"},
                              {"0042", "leading zeros"},
                              {"000000", "zero"},
                              {"12.5", "fraction"},
                              {" 8 ", "blanks"},
                              {"-3", "negative"},
                              {"x1", "not a number"},
                              {"", "empty"},
                              {"9", "marked before"}});
    f.lstEmployees.setSubItem(f.lstEmployees.findItem(QStringLiteral("9")), 2, QStringLiteral("000009D"));
    const auto before = rowsOf(f.lstEmployees);
    f.lstEmployees.setMultiSelect(true);
    f.lstEmployees.operatorClick(1, ClickModifier::None);
    f.lstEmployees.operatorClick(f.lstEmployees.count(), ClickModifier::Shift);
    cmdAddAllClick(h.control);
    ASSERT_EQ(f.lstSelectedEmployees.count(), int(before.size()));
    for (const QStringList& row : before) {
        const ListRow* moved = f.lstSelectedEmployees.findItem(row[0]);
        ASSERT_NE(moved, nullptr) << row[0].toStdString();
        EXPECT_EQ(moved->subItem(2), movedIdColumn(row[0], row[2], kMarkAssign)) << row[0].toStdString();
    }
    cmdRemoveAllClick(h.control);
    EXPECT_EQ(rowsOf(f.lstEmployees), before);
}

TEST(MultiRowMoves, OptionStatesAfterEmptyingOrNot) {
    struct Case {
        const char* what;
        std::initializer_list<int> rows;
        bool disableSelectedOptionFirst;
        bool employeesEnabled;
        bool selectedEnabled;
    };
    const Case cases[] = {
        {"moves the last rows", {1, 2, 3, 4}, false, false, true},
        {"moves the last rows, option was off", {1, 2, 3, 4}, true, false, true},
        {"leaves rows, option was off", {1, 2}, true, true, false},
    };
    for (const Case& c : cases) {
        Loaded h;
        if (c.disableSelectedOptionFirst) h.form().optList.setEnabled(1, false);
        h.select(h.form().lstEmployees, c.rows);
        cmdAddAllClick(h.control);
        EXPECT_TRUE(h.form().optList.value(1)) << c.what;
        EXPECT_EQ(h.form().optList.enabled(0), c.employeesEnabled) << c.what;
        EXPECT_EQ(h.form().optList.enabled(1), c.selectedEnabled) << c.what;
    }
}

TEST(MultiRowMoves, EmptySourceChangesNothingNoSelectionStillEnablesCommit) {
    Loaded h;
    h.form().lstEmployees.clear();
    cmdAddAllClick(h.control);
    EXPECT_FALSE(h.form().cmdCommit.enabled());
    EXPECT_FALSE(h.form().cmdRemoveAll.enabled());

    Loaded nothingSelected;
    cmdAddAllClick(nothingSelected.control);
    EXPECT_EQ(nothingSelected.form().lstEmployees.count(), 4);
    EXPECT_TRUE(nothingSelected.form().cmdCommit.enabled());
}

}  // namespace
