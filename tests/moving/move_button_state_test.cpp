#include "support/control_harness.h"

#include <gtest/gtest.h>

namespace {

struct Buttons {
    bool add, addAll, remove, removeAll;
    bool operator==(const Buttons&) const = default;
};

Buttons buttonsOf(const Form& f) {
    return {f.cmdAdd.enabled(), f.cmdAddAll.enabled(), f.cmdDelete.enabled(), f.cmdRemoveAll.enabled()};
}

void PrintTo(const Buttons& b, std::ostream* os) {
    *os << "> " << b.add << " >> " << b.addAll << " < " << b.remove << " << " << b.removeAll;
}

struct Case {
    const char* what;
    bool inSelectedList;
    int rows;
    std::vector<std::pair<int, ClickModifier>> clicks;  // empty: a click on empty space
    Buttons expected;
};

class MoveButtonState : public ::testing::TestWithParam<Case> {};

TEST_P(MoveButtonState, FollowsTheClickedListsSelection) {
    const Case& c = GetParam();
    ControlHarness h;
    Form& f = h.form();
    ReportList& clicked = c.inSelectedList ? f.lstSelectedEmployees : f.lstEmployees;
    ReportList& other = c.inSelectedList ? f.lstEmployees : f.lstSelectedEmployees;
    for (int i = 1; i <= c.rows; ++i) fillList(clicked, {{QByteArray::number(i).constData(), "x"}});
    fillList(other, {{"900", "o1"}, {"901", "o2"}});
    other.setMultiSelect(true);
    other.operatorClick(1, ClickModifier::None);
    other.operatorClick(2, ClickModifier::Ctrl);
    for (CommandButton* b : {&f.cmdAdd, &f.cmdAddAll, &f.cmdDelete, &f.cmdRemoveAll}) b->setEnabled(true);

    if (c.clicks.empty()) clicked.operatorClickEmpty();
    for (const auto& [row, how] : c.clicks) clicked.operatorClick(row, how);

    EXPECT_EQ(buttonsOf(f), c.expected);
    if (c.rows == 0) {
        // An empty list leaves the other list's selection and mode alone.
        EXPECT_EQ(selectedPositions(other), std::vector<int>({1, 2}));
        EXPECT_TRUE(other.multiSelect());
    } else {
        EXPECT_TRUE(selectedPositions(other).empty());
        EXPECT_FALSE(other.multiSelect());
        EXPECT_TRUE(clicked.multiSelect());
    }
}

const Buttons kNone{false, false, false, false};

INSTANTIATE_TEST_SUITE_P(
    Table, MoveButtonState,
    ::testing::Values(Case{"empty non-selected list", false, 0, {}, kNone},
                      Case{"non-selected, nothing selected", false, 3, {}, {true, false, false, false}},
                      Case{"non-selected, one row", false, 3, {{2, ClickModifier::None}}, {true, false, false, false}},
                      Case{"non-selected, two rows",
                           false,
                           3,
                           {{1, ClickModifier::None}, {3, ClickModifier::Ctrl}},
                           {false, true, false, false}},
                      Case{"non-selected, a range",
                           false,
                           5,
                           {{1, ClickModifier::None}, {5, ClickModifier::Shift}},
                           {false, true, false, false}},
                      Case{"empty selected list", true, 0, {}, kNone},
                      Case{"selected, nothing selected", true, 3, {}, {false, false, true, false}},
                      Case{"selected, one row", true, 3, {{3, ClickModifier::None}}, {false, false, true, false}},
                      Case{"selected, two rows",
                           true,
                           3,
                           {{1, ClickModifier::None}, {2, ClickModifier::Ctrl}},
                           {false, false, false, true}},
                      Case{"selected, toggled back to one",
                           true,
                           3,
                           {{1, ClickModifier::None}, {2, ClickModifier::Ctrl}, {2, ClickModifier::Ctrl}},
                           {false, false, true, false}}),
    [](const auto& info) { return caseName(info.param.what); });

}  // namespace
