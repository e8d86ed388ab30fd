#include "moving/single_row_moves.h"
#include "support/control_harness.h"

#include <gtest/gtest.h>

namespace {

// A loaded-looking control: 7, 42, 123 not assigned; 5 and 88 assigned.
struct Loaded : ControlHarness {
    Loaded() {
        fillList(form().lstEmployees, {{"7", "Ann"}, {"42", "Bob"}, {"123", "Cy"}});
        fillList(form().lstSelectedEmployees, {{"5", "Di"}, {"88", "Ed"}});
        for (int i : {0, 1}) form().optList.setEnabled(i, true);
    }
    void current(ReportList& list, int position) { list.operatorClick(position, ClickModifier::None); }
};

QString idColumnOf(const ReportList& list, const char* id) {
    const ListRow* row = list.findItem(QString::fromUtf8(id));
    return row ? row->subItem(2) : QStringLiteral("<absent>");
}

TEST(SingleRowMoves, MarkerTransitions) {
    struct Step {
        bool add;  // ">" or "<"
        const char* id;
        const char* employeesColumn;  // the row's third column in lstEmployees after the step
        const char* selectedColumn;   // ... in lstSelectedEmployees
    };
    const std::vector<std::vector<Step>> journeys = {
        {{true, "123", "<absent>", "000123N"}, {false, "123", "000123", "<absent>"}},
        {{false, "42x", "<absent>", "<absent>"}},
        {{false, "5", "000005D", "<absent>"}, {true, "5", "<absent>", "000005"}},
        {{true, "7", "<absent>", "000007N"}, {false, "7", "000007", "<absent>"}, {true, "7", "<absent>", "000007N"}},
    };
    for (const auto& journey : journeys) {
        Loaded h;
        for (const Step& step : journey) {
            ReportList& source = step.add ? h.form().lstEmployees : h.form().lstSelectedEmployees;
            ListRow* row = source.findItem(QString::fromUtf8(step.id));
            if (!row) continue;
            h.current(source, source.positionOf(row));
            step.add ? cmdAddClick(h.control) : cmdDeleteClick(h.control);
            EXPECT_EQ(idColumnOf(h.form().lstEmployees, step.id), QString::fromUtf8(step.employeesColumn)) << step.id;
            EXPECT_EQ(idColumnOf(h.form().lstSelectedEmployees, step.id), QString::fromUtf8(step.selectedColumn))
                << step.id;
        }
    }
}

TEST(SingleRowMoves, AddMovesTheCurrentRowAndSetsTheForm) {
    Loaded h;
    Form& f = h.form();
    h.current(f.lstEmployees, 3);  // 123
    cmdAddClick(h.control);
    EXPECT_EQ(rowsOf(f.lstEmployees), (std::vector<QStringList>{{"7", "Ann", "000007"}, {"42", "Bob", "000042"}}));
    EXPECT_EQ(rowsOf(f.lstSelectedEmployees),
              (std::vector<QStringList>{{"5", "Di", "000005"}, {"88", "Ed", "000088"}, {"123", "Cy", "000123N"}}));
    EXPECT_EQ(f.lblSelVendors.caption(), QStringLiteral("Selected Active Employees (3):"));
    EXPECT_EQ(f.lblAllVendors.caption(), QStringLiteral("Non Selected Active Employees (2):"));
    EXPECT_EQ(selectedPositions(f.lstSelectedEmployees), std::vector<int>({3}));
    EXPECT_FALSE(f.lstSelectedEmployees.multiSelect());
    EXPECT_EQ(f.focusedList, &f.lstSelectedEmployees);
    EXPECT_FALSE(f.cmdAdd.enabled());
    EXPECT_TRUE(f.cmdDelete.enabled());
    EXPECT_TRUE(f.cmdCommit.enabled());
    EXPECT_TRUE(f.optList.value(1));
    EXPECT_TRUE(f.optList.enabled(0));
    EXPECT_TRUE(f.optList.enabled(1));
}

TEST(SingleRowMoves, NothingChangesWhenTheMoveCannotStart) {
    struct Case {
        const char* what;
        std::function<void(Loaded&)> prepare;
        bool add;
    };
    const Case cases[] = {
        {"empty source for >", [](Loaded& h) { h.form().lstEmployees.clear(); }, true},
        {"empty source for <", [](Loaded& h) { h.form().lstSelectedEmployees.clear(); }, false},
        {"current row with empty text",
         [](Loaded& h) {
             ListRow* row = h.form().lstEmployees.add(QString());
             h.form().lstEmployees.setSelected(row, true);
         },
         true},
        {"duplicate in the target",
         [](Loaded& h) {
             fillList(h.form().lstSelectedEmployees, {{"42", "Bob again"}});
             h.current(h.form().lstEmployees, 2);
         },
         true},
    };
    for (const Case& c : cases) {
        Loaded h;
        c.prepare(h);
        const auto employees = rowsOf(h.form().lstEmployees);
        const auto selected = rowsOf(h.form().lstSelectedEmployees);
        const QString label = h.form().lblAllVendors.caption();
        c.add ? cmdAddClick(h.control) : cmdDeleteClick(h.control);
        EXPECT_EQ(rowsOf(h.form().lstEmployees), employees) << c.what;
        EXPECT_EQ(rowsOf(h.form().lstSelectedEmployees), selected) << c.what;
        EXPECT_EQ(h.form().lblAllVendors.caption(), label) << c.what;
        EXPECT_FALSE(h.form().cmdCommit.enabled()) << c.what;
    }
}

TEST(SingleRowMoves, OtherSelectedRowsStayWhereTheyAre) {
    // Several rows selected, one moved: the others must neither vanish nor move.
    Loaded h;
    Form& f = h.form();
    f.lstEmployees.setMultiSelect(true);
    f.lstEmployees.operatorClick(1, ClickModifier::None);
    f.lstEmployees.operatorClick(3, ClickModifier::Ctrl);  // current: 123
    cmdAddClick(h.control);
    EXPECT_EQ(f.lstEmployees.count() + f.lstSelectedEmployees.count(), 5);
    EXPECT_NE(f.lstEmployees.findItem(QStringLiteral("7")), nullptr);
    EXPECT_NE(f.lstSelectedEmployees.findItem(QStringLiteral("123")), nullptr);
    EXPECT_EQ(f.lblAllVendors.caption(), QStringLiteral("Non Selected Active Employees (2):"));
}

TEST(SingleRowMoves, RemoveHasNoDuplicateCheck) {
    Loaded h;
    Form& f = h.form();
    fillList(f.lstEmployees, {{"88", "Ed twin"}});
    h.current(f.lstSelectedEmployees, 2);  // 88
    cmdDeleteClick(h.control);
    int eighty_eights = 0;
    for (const QStringList& row : rowsOf(f.lstEmployees)) eighty_eights += row[0] == QStringLiteral("88");
    EXPECT_EQ(eighty_eights, 2);
    EXPECT_TRUE(f.cmdAdd.enabled());
    EXPECT_FALSE(f.cmdDelete.enabled());
    EXPECT_TRUE(f.optList.value(0));
}

TEST(SingleRowMoves, EmptyingAListSwitchesTheListToSearch) {
    Loaded h;
    Form& f = h.form();
    while (f.lstSelectedEmployees.count() > 0) {
        h.current(f.lstSelectedEmployees, 1);
        cmdDeleteClick(h.control);
    }
    EXPECT_FALSE(f.optList.enabled(1));
    EXPECT_TRUE(f.optList.value(0));
    EXPECT_TRUE(f.optList.enabled(0));
    while (f.lstEmployees.count() > 0) {
        h.current(f.lstEmployees, 1);
        cmdAddClick(h.control);
    }
    EXPECT_FALSE(f.optList.enabled(0));
    EXPECT_TRUE(f.optList.value(1));
    EXPECT_TRUE(f.optList.enabled(1));
    EXPECT_EQ(f.lblAllVendors.caption(), QStringLiteral("Non Selected Active Employees (0):"));
}

}  // namespace
