#include "controls/report_list.h"
#include "rules/numeric_text.h"
#include "rules/runtime_error.h"
#include "support/control_harness.h"
#include "view/report_list_view.h"

#include <gtest/gtest.h>
#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QTest>

#include <functional>

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

// A column in language order sorts accented letters with their base letters and ignores case,
// equal names keeping the order they came in; the other columns still compare letter by letter.
TEST(ReportList, ALanguageOrderedColumnSortsAsTheOperatorReads) {
    ReportList list(QStringLiteral("l"), 3975);
    list.setLanguageOrder(1);
    fillList(list, {{"1", "Henry Wilson"},
                    {"2", "anna"},
                    {"3", "Henry \xC5\xA0imek"},
                    {"4", "Anna"},
                    {"5", "\xC3\x89mile"},
                    {"6", "Eve"}});
    list.setSortKey(1);
    EXPECT_EQ(names(list), QStringList({"anna", "Anna", QString::fromUtf8("\xC3\x89mile"), "Eve",
                                        QString::fromUtf8("Henry \xC5\xA0imek"), "Henry Wilson"}));
    list.setSubItem(list.item(1), 1, QStringLiteral("Zoe"));  // a renamed row moves
    EXPECT_EQ(names(list).last(), QStringLiteral("Zoe"));
    list.setSortKey(0);
    EXPECT_EQ(texts(list), QStringList({"1", "2", "3", "4", "5", "6"}));
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

// Qt's model checker, in its warning mode, reports each fault it finds as a warning; so does
// the model when it is asked for an index that is not (or no longer) one of its rows.
QStringList modelWarnings;
void keepWarnings(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtDebugMsg && type != QtInfoMsg) modelWarnings << message;
}

// What a view shows of a list: names, selected rows and the current row, in the order shown.
QStringList picture(const ReportList& list) {
    QStringList out;
    for (int i = 1; i <= list.count(); ++i) {
        const ListRow* row = list.item(i);
        out << row->subItem(1) + QLatin1String(row->selected() ? "*" : "") +
                   QLatin1String(row == list.currentRow() ? "<" : "");
    }
    return out;
}

// A shown view of a list through changes of every kind. The model must announce each change
// while the list is still as the view last saw it; a paint after the change and before the
// thread's events run (as a handler that lets events run leaves it) must read nothing stale;
// once the events ran, the view shows the list.
TEST(ReportListModel, AnnouncesEveryChangeBeforeAShownViewReadsIt) {
    ReportList list(QStringLiteral("l"), 3975);
    for (const char* header : {"ID", "Name", "ID"}) list.addColumn(QString::fromUtf8(header), 1000);
    ReportListView view(list, 0.1, {QChar(u'+'), QStringLiteral("to be added")});
    view.resize(300, 400);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    QAbstractItemModel& model = *view.model();
    const auto shownNames = [&model] {
        QStringList shown;
        for (int row = 0; row < model.rowCount(); ++row) shown << model.index(row, 1).data().toString();
        return shown;
    };
    const auto loadMany = [&list](int count) {
        for (int i = 0; i < count; ++i)
            list.setSubItem(list.add(QString::number(100 + i)), 1, QString::number(100 + i));
    };
    struct Step {
        const char* what;
        std::function<void()> change;
        QStringList shown;  // empty: as the list has them
    };
    const std::vector<Step> steps = {
        {"a load",
         [&] {
             fillList(list, {{"3", "c"}, {"1", "a"}, {"2", "b"}});
         },
         {"a", "b", "c"}},
        {"a descending sort by name", [&] { list.setSortKey(1), list.setSortOrder(1); }, {"c", "b", "a"}},
        {"a selection",
         [&] { list.setMultiSelect(true), list.setSelected(list.item(1), true), list.setSelected(list.item(3), true); },
         {"c", "b", "a"}},
        {"rows taken out by a move", [&] { list.takeSelected(); }, {"b"}},
        {"a row added",
         [&] {
             fillList(list, {{"4", "d"}});
         },
         {"d", "b"}},
        {"a renamed row", [&] { list.setSubItem(list.item(2), 1, QStringLiteral("e")); }, {"d", "e"}},
        {"a changed sort key",
         [&] { list.setSubItem(list.item(1), 2, numeric_text::formatPadded(QStringLiteral("1"))); },
         {"e", "d"}},
        {"a long load", [&] { list.clear(), loadMany(60); }, {}},
        {"the current row removed", [&] { list.setSelected(list.item(50), true), list.remove(50); }, {}},
        {"a clear and a short load",
         [&] {
             list.clear(), fillList(list, {{"9", "z"}});
         },
         {"z"}},
        {"a clear", [&] { list.clear(); }, {}},
    };
    QStringList announcedWith;
    QObject::connect(&model, &QAbstractItemModel::modelAboutToBeReset, [&] { announcedWith = picture(list); });
    modelWarnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(keepWarnings);
    {
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
        for (const Step& step : steps) {
            QCoreApplication::processEvents();
            const QStringList before = picture(list);
            announcedWith = QStringList({"(not announced)"});
            step.change();
            EXPECT_EQ(announcedWith, before) << step.what;
            view.viewport()->repaint();
            QCoreApplication::processEvents();
            if (!step.shown.isEmpty()) {
                EXPECT_EQ(shownNames(), step.shown) << step.what;
            }
            EXPECT_EQ(shownNames(), names(list)) << step.what;
            EXPECT_EQ(view.currentIndex().row() + 1, list.currentRow() ? list.positionOf(list.currentRow()) : 0)
                << step.what;
        }
    }
    qInstallMessageHandler(previous);
    EXPECT_TRUE(modelWarnings.isEmpty()) << modelWarnings.join(u'\n').toStdString();
}

}  // namespace
