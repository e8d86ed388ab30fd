#include "controls/report_list.h"
#include "rules/runtime_error.h"
#include "support/control_harness.h"
#include "view/report_list_model.h"

#include <gtest/gtest.h>
#include <QAbstractItemModelTester>
#include <QCoreApplication>

namespace {

QStringList texts(const ReportList& list) {
    QStringList out;
    for (int i = 1; i <= list.count(); ++i) out << list.item(i)->text();
    return out;
}

QStringList names(const ReportList& list) {
    QStringList out;
    for (int i = 1; i <= list.count(); ++i) out << list.item(i)->subItem(1);
    return out;
}

TEST(ReportList, RowsAreAddressedFromOneAndLaterRowsMoveUp) {
    ReportList list(QStringLiteral("l"), 3975);
    list.addColumn(QStringLiteral("ID"), 10);
    fillList(list, {{"1", "a"}, {"2", "b"}, {"3", "c"}});
    EXPECT_EQ(list.count(), 3);
    EXPECT_EQ(list.item(1)->text(), QStringLiteral("1"));
    list.remove(2);
    EXPECT_EQ(texts(list), QStringList({"1", "3"}));
    EXPECT_THROW(list.item(0), RuntimeError);
    EXPECT_THROW(list.item(3), RuntimeError);
    list.clear();
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.columns().size(), 1u);  // columns survive Clear
}

TEST(ReportList, SelectedItemIsTheCurrentRowOrTheFirstRow) {
    ReportList list(QStringLiteral("l"), 3975);
    EXPECT_EQ(list.selectedItem(), nullptr);
    fillList(list, {{"1", "a"}, {"2", "b"}});
    EXPECT_EQ(list.selectedItem(), list.item(1));  // rows, none chosen: the first
    list.setSelected(list.item(2), true);
    EXPECT_EQ(list.selectedItem(), list.item(2));
    list.remove(2);
    EXPECT_EQ(list.selectedItem(), list.item(1));
}

TEST(ReportList, FindItemMatchesTheWholeTextOnly) {
    ReportList list(QStringLiteral("l"), 3975);
    fillList(list, {{"123", "a"}, {"12", "b"}, {"1234", "c"}});
    EXPECT_EQ(list.findItem(QStringLiteral("12"))->subItem(1), QStringLiteral("b"));
    EXPECT_EQ(list.findItem(QStringLiteral("123"))->subItem(1), QStringLiteral("a"));
    EXPECT_EQ(list.findItem(QStringLiteral("1")), nullptr);
    EXPECT_EQ(list.findItem(QStringLiteral("")), nullptr);
}

TEST(ReportList, SingleSelectionKeepsOneRowMultipleSelectionKeepsAll) {
    ReportList list(QStringLiteral("l"), 3975);
    fillList(list, {{"1", "a"}, {"2", "b"}, {"3", "c"}});
    list.setSelected(list.item(1), true);
    list.setSelected(list.item(3), true);
    EXPECT_EQ(selectedPositions(list), std::vector<int>({3}));
    list.setMultiSelect(true);
    list.setSelected(list.item(1), true);
    EXPECT_EQ(selectedPositions(list), std::vector<int>({1, 3}));
    EXPECT_EQ(list.currentRow(), list.item(1));
    list.setMultiSelect(false);  // back to single: only the current row stays selected
    EXPECT_EQ(selectedPositions(list), std::vector<int>({1}));
}

TEST(ReportList, OperatorClicksFollowTheSelectionMode) {
    struct Case {
        const char* what;
        bool multi;
        std::vector<std::pair<int, ClickModifier>> clicks;
        std::vector<int> selected;
        int current;
    };
    const Case cases[] = {
        {"plain click", true, {{2, ClickModifier::None}}, {2}, 2},
        {"ctrl adds", true, {{1, ClickModifier::None}, {3, ClickModifier::Ctrl}}, {1, 3}, 3},
        {"ctrl toggles off", true, {{1, ClickModifier::None}, {1, ClickModifier::Ctrl}}, {}, 1},
        {"shift selects a range", true, {{2, ClickModifier::None}, {4, ClickModifier::Shift}}, {2, 3, 4}, 4},
        {"shift upwards", true, {{4, ClickModifier::None}, {1, ClickModifier::Shift}}, {1, 2, 3, 4}, 1},
        {"ctrl in single selection", false, {{1, ClickModifier::None}, {3, ClickModifier::Ctrl}}, {3}, 3},
        {"shift in single selection", false, {{1, ClickModifier::None}, {3, ClickModifier::Shift}}, {3}, 3},
    };
    for (const Case& c : cases) {
        ReportList list(QStringLiteral("l"), 3975);
        fillList(list, {{"1", "a"}, {"2", "b"}, {"3", "c"}, {"4", "d"}});
        list.setMultiSelect(c.multi);
        int clicks = 0;
        list.events.click = [&clicks] { ++clicks; };
        for (const auto& [row, how] : c.clicks) list.operatorClick(row, how);
        EXPECT_EQ(selectedPositions(list), c.selected) << c.what;
        EXPECT_EQ(list.positionOf(list.currentRow()), c.current) << c.what;
        EXPECT_EQ(clicks, int(c.clicks.size())) << c.what;
    }
}

TEST(ReportList, ClickOnEmptySpaceDeselectsAndKeepsTheCurrentRow) {
    ReportList list(QStringLiteral("l"), 3975);
    fillList(list, {{"1", "a"}, {"2", "b"}});
    list.setMultiSelect(true);
    list.operatorClick(2, ClickModifier::None);
    list.operatorClickEmpty();
    EXPECT_TRUE(selectedPositions(list).empty());
    EXPECT_EQ(list.positionOf(list.currentRow()), 2);
}

TEST(ReportList, RightPressKeepsASelectionThatHoldsTheRow) {
    ReportList list(QStringLiteral("l"), 3975);
    fillList(list, {{"1", "a"}, {"2", "b"}, {"3", "c"}});
    list.setMultiSelect(true);
    list.operatorClick(1, ClickModifier::None);
    list.operatorClick(2, ClickModifier::Ctrl);
    int clicks = 0;
    list.events.click = [&clicks] { ++clicks; };
    list.operatorRightPress(1);
    EXPECT_EQ(selectedPositions(list), std::vector<int>({1, 2}));
    EXPECT_EQ(list.positionOf(list.currentRow()), 1);
    list.operatorRightPress(3);
    EXPECT_EQ(selectedPositions(list), std::vector<int>({3}));
    EXPECT_EQ(clicks, 0);
}

TEST(ReportList, RowsAreAlwaysShownInSortOrder) {
    ReportList list(QStringLiteral("l"), 3975);
    list.setSortKey(2);
    fillList(list, {{"10", "bob"}, {"9", "Anna"}, {"100", "carl"}, {"11", "anna"}});
    EXPECT_EQ(texts(list), QStringList({"9", "10", "11", "100"}));
    list.setSubItem(list.item(4), 2, QStringLiteral("000008D"));  // a marker after the digits
    EXPECT_EQ(texts(list), QStringList({"100", "9", "10", "11"}));
    list.setSortKey(1);
    EXPECT_EQ(names(list), QStringList({"Anna", "anna", "bob", "carl"}));  // letter case ignored, ties stable
    list.setSortOrder(1);
    EXPECT_EQ(names(list), QStringList({"carl", "bob", "anna", "Anna"}));
    ListRow* added = list.add(QStringLiteral("5"));
    list.setSubItem(added, 1, QStringLiteral("betty"));
    EXPECT_EQ(names(list), QStringList({"carl", "bob", "betty", "anna", "Anna"}));
    EXPECT_EQ(list.positionOf(added), 3);
}

TEST(ReportList, TakeSelectedTakesAllSelectedRowsInTheOrderShown) {
    ReportList list(QStringLiteral("l"), 3975);
    fillList(list, {{"1", "a"}, {"2", "b"}, {"3", "c"}, {"4", "d"}, {"5", "e"}});
    list.setMultiSelect(true);
    for (int position : {1, 3, 4}) list.setSelected(list.item(position), true);
    std::vector<QString> taken;
    for (const auto& row : list.takeSelected()) taken.push_back(row->text());
    EXPECT_EQ(taken, (std::vector<QString>{"1", "3", "4"}));
    EXPECT_EQ(texts(list), QStringList({"2", "5"}));
    EXPECT_EQ(list.currentRow(), nullptr);
}

// Qt's model checker, in its warning mode, reports each fault it finds as a warning.
QStringList modelWarnings;
void keepWarnings(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtDebugMsg && type != QtInfoMsg) modelWarnings << message;
}

TEST(ReportListModel, PassesQtsModelCheckWhileRowsComeGoSortAndClear) {
    ReportList list(QStringLiteral("l"), 3975);
    for (const char* header : {"ID", "Name", "ID"}) list.addColumn(QString::fromUtf8(header), 100);
    ReportListModel model(list);
    const auto shownNames = [&model] {
        QCoreApplication::processEvents();  // the model refreshes once per batch of changes
        QStringList shown;
        for (int row = 0; row < model.rowCount(); ++row) shown << model.index(row, 1).data().toString();
        return shown;
    };
    modelWarnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(keepWarnings);
    {
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
        fillList(list, {{"3", "c"}, {"1", "a"}, {"2", "b"}});
        EXPECT_EQ(shownNames(), QStringList({"a", "b", "c"}));
        list.setSortKey(1);
        list.setSortOrder(1);
        EXPECT_EQ(shownNames(), QStringList({"c", "b", "a"}));
        list.setMultiSelect(true);
        for (int position : {1, 3}) list.setSelected(list.item(position), true);
        list.takeSelected();  // as a move takes rows out
        EXPECT_EQ(shownNames(), QStringList({"b"}));
        fillList(list, {{"4", "d"}});
        EXPECT_EQ(shownNames(), QStringList({"d", "b"}));
        list.clear();
        EXPECT_EQ(shownNames(), QStringList());
    }
    qInstallMessageHandler(previous);
    EXPECT_TRUE(modelWarnings.isEmpty()) << modelWarnings.join(u'\n').toStdString();
}

}  // namespace
