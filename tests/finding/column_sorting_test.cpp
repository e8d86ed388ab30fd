#include "finding/column_sorting.h"
#include "support/canned_http_server.h"
#include "support/control_harness.h"

#include <gtest/gtest.h>

namespace {

QStringList idsOf(const ReportList& list) {
    QStringList ids;
    for (int i = 1; i <= list.count(); ++i) ids << list.item(i)->text();
    return ids;
}

struct SortCase {
    const char* what;
    std::vector<int> headers;  // header clicks in order, starting from key 2 ascending
    int key;
    int order;
    QStringList ids;
};

class ColumnSorting : public ::testing::TestWithParam<SortCase> {};

TEST_P(ColumnSorting, HeaderClicksChooseColumnAndDirection) {
    const SortCase& c = GetParam();
    ReportList list(QStringLiteral("l"), 3975);
    fillList(list, {{"10", "bea"}, {"9", "Cyd"}, {"100", "al"}, {"11", "Bob"}});
    list.setSubItem(list.findItem(QStringLiteral("11")), 2, QStringLiteral("000011N"));  // a change letter
    for (int header : c.headers) columnClick(list, header);
    EXPECT_EQ(list.sortKey(), c.key);
    EXPECT_EQ(list.sortOrder(), c.order);
    EXPECT_EQ(idsOf(list), c.ids);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ColumnSorting,
    ::testing::Values(SortCase{"as loaded: IDs in numeric order", {}, 2, 0, {"9", "10", "11", "100"}},
                      SortCase{"ID header first reverses", {1}, 2, 1, {"100", "11", "10", "9"}},
                      SortCase{"ID header twice restores", {1, 1}, 2, 0, {"9", "10", "11", "100"}},
                      SortCase{"Name header sorts by name", {2}, 1, 0, {"100", "10", "11", "9"}},
                      SortCase{"Name header twice reverses", {2, 2}, 1, 1, {"9", "11", "10", "100"}},
                      SortCase{"direction kept across a column change", {1, 2}, 1, 1, {"9", "11", "10", "100"}},
                      SortCase{"hidden header acts like ID", {3}, 2, 1, {"100", "11", "10", "9"}},
                      SortCase{"name then ID keeps ascending", {2, 1}, 2, 0, {"9", "10", "11", "100"}},
                      SortCase{"unknown header changes nothing", {0}, 2, 0, {"9", "10", "11", "100"}}),
    [](const auto& info) { return caseName(info.param.what); });

TEST(ColumnSorting, OneListNeverTouchesTheOther) {
    ControlHarness h;
    fillList(h.form().lstEmployees, {{"2", "b"}, {"1", "a"}});
    fillList(h.form().lstSelectedEmployees, {{"4", "d"}, {"3", "c"}});
    h.form().lstEmployees.operatorHeaderClick(2);
    h.form().lstEmployees.operatorHeaderClick(2);
    EXPECT_EQ(idsOf(h.form().lstEmployees), QStringList({"2", "1"}));
    EXPECT_EQ(h.form().lstSelectedEmployees.sortKey(), 2);
    EXPECT_EQ(h.form().lstSelectedEmployees.sortOrder(), 0);
    EXPECT_EQ(idsOf(h.form().lstSelectedEmployees), QStringList({"3", "4"}));
}

TEST(ColumnSorting, DirectionSurvivesAReload) {
    CannedHttpServer server;
    server.respond(
        200,
        feedDocument({{QStringLiteral("9"), QStringLiteral("x")}, {QStringLiteral("10"), QStringLiteral("y")}}, {}));
    ControlHarness h;
    h.control.setServerName(server.url());
    h.form().lstEmployees.operatorHeaderClick(2);  // by name
    h.form().lstEmployees.operatorHeaderClick(2);  // descending
    h.control.setServerName(server.url());
    EXPECT_EQ(h.form().lstEmployees.sortKey(), 2);    // the load sorts by the ID copy again ...
    EXPECT_EQ(h.form().lstEmployees.sortOrder(), 1);  // ... in the direction chosen before
    EXPECT_EQ(idsOf(h.form().lstEmployees), QStringList({"10", "9"}));
}

}  // namespace
