#include "rules/runtime_error.h"
#include "support/canned_http_server.h"
#include "support/control_harness.h"
#include "view/center_employee_view.h"

#include <gtest/gtest.h>
#include <QAccessible>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QTest>
#include <cmath>
#include <set>

namespace {

TEST(CenterIDProperty, ConvertsTextOrFailsKeepingTheOldValue) {
    struct Case {
        const char* text;
        std::optional<qint32> stored;  // nothing: the assignment fails
    };
    const Case cases[] = {
        {" 42 ", 42},
        {"2.5", 2},
        {"3.5", 4},
        {"-5", -5},
        {"+12", 12},
        {"2147483647", 2147483647},
        {"abc", std::nullopt},
        {"", std::nullopt},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
    };
    for (const Case& c : cases) {
        ControlHarness h;
        h.control.setCenterID(QStringLiteral("17"));
        if (c.stored) {
            h.control.setCenterID(QString::fromUtf8(c.text));
            EXPECT_EQ(h.control.state().CenterID, *c.stored) << c.text;
        } else {
            EXPECT_THROW(h.control.setCenterID(QString::fromUtf8(c.text)), RuntimeError) << c.text;
            EXPECT_EQ(h.control.state().CenterID, 17) << c.text;
        }
        // Nothing else happens on screen.
        EXPECT_EQ(h.form().lstEmployees.count(), 0);
        EXPECT_EQ(h.form().lblAllVendors.caption(), QStringLiteral("Non Selected Active Empolyees:"));
    }
}

TEST(Initialisation, ColumnsFollowTheListWidth) {
    ControlHarness h;
    for (const ReportList* list : {&h.form().lstEmployees, &h.form().lstSelectedEmployees}) {
        ASSERT_EQ(list->columns().size(), 3u);
        EXPECT_EQ(list->columns()[0].header, QStringLiteral("ID"));
        EXPECT_EQ(list->columns()[1].header, QStringLiteral("Name"));
        EXPECT_EQ(list->columns()[2].header, QStringLiteral("ID"));
        EXPECT_NEAR(list->columns()[0].width, 779.41, 0.005);
        EXPECT_NEAR(list->columns()[1].width, 3117.65, 0.005);
        EXPECT_EQ(list->columns()[2].width, 0.0);
        EXPECT_TRUE(list->fullRowSelect());
    }
}

TEST(Initialisation, FreshControlShowsTheDesignState) {
    ControlHarness h;
    Form& f = h.form();
    EXPECT_EQ(f.lblVersionNumber.caption(), QStringLiteral("Version Number: 1.0.6"));
    EXPECT_EQ(f.lblAllVendors.caption(), QStringLiteral("Non Selected Active Empolyees:"));
    EXPECT_EQ(f.lblSelVendors.caption(), QStringLiteral("Selected Active Employees:"));
    EXPECT_EQ(f.fraFind.caption(), QStringLiteral(" Find Employee"));
    EXPECT_EQ(f.fraFind.caption().size(), 14);
    EXPECT_EQ(f.Frame1.caption(), QStringLiteral(" List to search  "));
    EXPECT_EQ(f.Frame1.caption().size(), 17);
    EXPECT_TRUE(f.fraMain.caption().isEmpty());
    for (const CommandButton* b : {&f.cmdAdd, &f.cmdAddAll, &f.cmdRemoveAll, &f.cmdDelete, &f.cmdFind, &f.cmdCommit})
        EXPECT_FALSE(b->enabled()) << b->name().toStdString();
    const std::pair<const CommandButton*, const char*> captions[] = {
        {&f.cmdAdd, ">"},    {&f.cmdAddAll, ">>"}, {&f.cmdRemoveAll, "<<"},
        {&f.cmdDelete, "<"}, {&f.cmdFind, "Find"}, {&f.cmdCommit, "Commit to Database"}};
    for (const auto& [button, caption] : captions) EXPECT_EQ(button->caption(), QString::fromUtf8(caption));
    for (int i : {0, 1}) {
        EXPECT_FALSE(f.optFind.enabled(i));
        EXPECT_FALSE(f.optList.enabled(i));
    }
    EXPECT_TRUE(f.optFind.value(1));
    EXPECT_FALSE(f.optFind.value(0));
    EXPECT_TRUE(f.optList.value(0));
    EXPECT_FALSE(f.optList.value(1));
    EXPECT_EQ(f.optFind.element(0).caption, QStringLiteral("Name"));
    EXPECT_EQ(f.optList.element(1).caption, QStringLiteral("Selected Employees"));
    EXPECT_FALSE(f.txtVendorID.enabled());
    EXPECT_TRUE(f.txtVendorID.locked());
    EXPECT_EQ(f.txtVendorID.backColor(), kColorButtonFace);
    EXPECT_TRUE(f.txtVendorName.enabled());
    EXPECT_TRUE(f.txtVendorName.locked());
    EXPECT_EQ(f.txtVendorName.backColor(), kColorButtonFace);
    EXPECT_EQ(f.mnuRemove.caption(), QStringLiteral("Remove"));
    EXPECT_EQ(f.mnuRemove.captions(), QStringList{QStringLiteral("Remove")});
    EXPECT_EQ(h.control.state().CenterID, 0);
    EXPECT_TRUE(h.control.state().ServerName.isEmpty());
    EXPECT_TRUE(f.lblNotice.caption().isEmpty());
}

TEST(FormLayout, DesignPositionsAndFocusOrder) {
    const auto& at = placementOf;
    EXPECT_EQ(at(QStringLiteral("fraMain")).top, -90);
    EXPECT_EQ(at(QStringLiteral("fraMain")).top + at(QStringLiteral("fraMain")).height, kDesignHeight);
    for (const char* name : {"cmdAdd", "cmdAddAll", "cmdRemoveAll", "cmdDelete"}) {
        EXPECT_EQ(at(QString::fromUtf8(name)).left, 4065);
        EXPECT_EQ(at(QString::fromUtf8(name)).height, 375);
    }
    EXPECT_EQ(at(QStringLiteral("cmdAdd")).top, 960);
    EXPECT_EQ(at(QStringLiteral("cmdDelete")).top, 2085);
    EXPECT_EQ(at(QStringLiteral("lstSelectedEmployees")).left, 4650);
    EXPECT_EQ(at(QStringLiteral("optList(1)")).container, QStringLiteral("Frame1"));
    // Tab indexes 0 to 20, each once.
    std::set<int> indexes;
    int designed = 0;
    for (const ChildPlacement& p : formLayout())
        if (p.tabIndex >= 0) {
            indexes.insert(p.tabIndex);
            ++designed;
        }
    EXPECT_EQ(designed, 21);
    EXPECT_EQ(indexes.size(), 21u);
    EXPECT_EQ(*indexes.begin(), 0);
    EXPECT_EQ(*indexes.rbegin(), 20);
}

TEST(FormView, WidgetsSitAtTheirDesignPlacesAndDrawTheState) {
    ControlHarness h;
    CenterEmployeeView view(h.form());
    const double toPixels = view.logicalDpiX() / 1440.0;
    QWidget* add = view.child(QStringLiteral("cmdAdd"));
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add->geometry().left(), int(std::lround(4065 * toPixels)));
    EXPECT_EQ(qobject_cast<QPushButton*>(add)->text(), QStringLiteral(">"));
    EXPECT_FALSE(add->isEnabled());
    h.form().cmdAdd.setEnabled(true);
    EXPECT_TRUE(add->isEnabled());
    h.form().lblAllVendors.setCaption(QStringLiteral("Non Selected Active Employees (3):"));
    EXPECT_EQ(qobject_cast<QLabel*>(view.child(QStringLiteral("lblAllVendors")))->text(),
              QStringLiteral("Non Selected Active Employees (3):"));
}

// At the design size every child sits where the design puts it; larger, the lists take the
// room and the buttons stay between them, the find panel and Commit below; smaller, the
// surface keeps the design size and scrolls.
TEST(FormView, ListsTakeTheRoomOfALargerControlAndASmallerOneScrolls) {
    ControlHarness h;
    CenterEmployeeView view(h.form());
    view.show();
    const QSize design = view.sizeHint();
    const auto at = [&view](const char* name) { return view.child(QString::fromLatin1(name))->geometry(); };
    const QRect left = at("lstEmployees"), right = at("lstSelectedEmployees"), add = at("cmdAdd");
    const QRect find = at("fraFind"), commit = at("cmdCommit");

    view.resize(design + QSize(400, 300));
    QCoreApplication::processEvents();
    EXPECT_EQ(at("lstEmployees").size(), left.size() + QSize(200, 300));
    EXPECT_EQ(at("lstSelectedEmployees").right(), right.right() + 400);
    EXPECT_EQ(at("cmdAdd").left(), add.left() + 200);
    EXPECT_GT(at("cmdAdd").left(), at("lstEmployees").left());
    EXPECT_LT(at("cmdAdd").right(), at("lstSelectedEmployees").right());
    EXPECT_EQ(at("fraFind").topLeft(), find.topLeft() + QPoint(0, 300));
    EXPECT_EQ(at("cmdCommit").topLeft(), commit.topLeft() + QPoint(400, 300));

    view.resize(design / 2);
    QCoreApplication::processEvents();
    EXPECT_EQ(at("lstEmployees"), left);
    EXPECT_EQ(at("cmdCommit"), commit);
    const auto* scroll = view.findChild<QScrollArea*>();
    ASSERT_NE(scroll, nullptr);
    EXPECT_TRUE(scroll->horizontalScrollBar()->isVisible());
    EXPECT_TRUE(scroll->verticalScrollBar()->isVisible());

    view.resize(design);
    QCoreApplication::processEvents();
    EXPECT_EQ(at("lstEmployees"), left);
    EXPECT_EQ(at("cmdAdd"), add);
}

// WCAG 2's relative luminance and contrast ratio.
double wcagContrast(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& c) {
        const auto linear = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double x = luminance(a) + 0.05, y = luminance(b) + 0.05;
    return std::max(x, y) / std::min(x, y);
}

// Every enabled text of the control reads on its background (WCAG AA, 4.5:1) in a light and in
// a dark palette: the boxes in both of their back colours, the notice, buttons and captions.
TEST(FormView, EveryTextReadsInALightAndADarkPalette) {
    QPalette dark;
    for (const auto& [role, colour] :
         std::initializer_list<std::pair<QPalette::ColorRole, QColor>>{{QPalette::Window, QColor(53, 53, 53)},
                                                                       {QPalette::WindowText, Qt::white},
                                                                       {QPalette::Base, QColor(35, 35, 35)},
                                                                       {QPalette::Text, Qt::white},
                                                                       {QPalette::Button, QColor(53, 53, 53)},
                                                                       {QPalette::ButtonText, Qt::white},
                                                                       {QPalette::Highlight, QColor(42, 130, 218)},
                                                                       {QPalette::HighlightedText, Qt::black}})
        dark.setColor(role, colour);
    const std::pair<const char*, QPalette> palettes[] = {{"light", QApplication::style()->standardPalette()},
                                                         {"dark", dark}};
    for (const auto& [paletteName, palette] : palettes) {
        ControlHarness h;
        Form& f = h.form();
        for (TextBox* box : {&f.txtVendorID, &f.txtVendorName}) box->setEnabled(true);
        f.txtVendorID.setLocked(false);
        f.txtVendorID.setBackColor(kColorWindow);  // typed into: the window colour
        f.lblNotice.setCaption(QStringLiteral("Saving..."));
        CenterEmployeeView view(f);
        view.setPalette(palette);
        view.show();
        QCoreApplication::processEvents();
        int checked = 0;
        for (QWidget* widget : view.findChildren<QWidget*>()) {
            if (!widget->isEnabled() || widget->objectName().isEmpty()) continue;
            const QPalette& p = widget->palette();
            std::pair<QPalette::ColorRole, QPalette::ColorRole> roles{QPalette::WindowText, QPalette::Window};
            if (qobject_cast<QLineEdit*>(widget) || qobject_cast<QPlainTextEdit*>(widget))
                roles = {QPalette::Text, QPalette::Base};
            else if (qobject_cast<QPushButton*>(widget))
                roles = {QPalette::ButtonText, QPalette::Button};
            EXPECT_GE(wcagContrast(p.color(roles.first), p.color(roles.second)), 4.5)
                << widget->objectName().toStdString() << " in the " << paletteName << " palette";
            ++checked;
        }
        EXPECT_GE(checked, 15);
    }
}

TEST(FormView, ListsDrawTheirColumnWidthsAndLeaveOutTheIdCopy) {
    // The ID column as initialisation gave it (see ColumnsFollowTheListWidth), in pixels.
    ControlHarness h;
    for (int id = 1; id <= 40; ++id) h.form().lstEmployees.add(QString::number(id));  // a scroll bar
    CenterEmployeeView view(h.form());
    view.show();
    QCoreApplication::processEvents();
    const double toPixels = view.logicalDpiX() / 1440.0;
    for (const char* name : {"lstEmployees", "lstSelectedEmployees"}) {
        const auto* list = qobject_cast<QTableView*>(view.child(QString::fromUtf8(name)));
        ASSERT_NE(list, nullptr) << name;
        EXPECT_EQ(list->columnWidth(0), int(std::lround(779.41 * toPixels))) << name;
        // The name column fills the rest and ends where the scroll bar begins, never under it.
        EXPECT_EQ(list->columnWidth(0) + list->columnWidth(1), list->viewport()->width()) << name;
        EXPECT_EQ(list->model()->columnCount(), 2) << name;  // the ID copy is neither drawn nor read
    }
}

TEST(FormView, OperatorInputThroughTheWidgetsReachesTheState) {
    ControlHarness h;
    Form& f = h.form();
    fillList(f.lstEmployees, {{"7", "Ann"}, {"42", "Bob"}, {"123", "Cy"}});
    CenterEmployeeView view(h.form());
    view.show();
    QCoreApplication::processEvents();
    auto* list = qobject_cast<QTableView*>(view.child(QStringLiteral("lstEmployees")));
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->model()->rowCount(), 3);
    const auto rowCentre = [list](int row) { return list->visualRect(list->model()->index(row, 1)).center(); };

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowCentre(0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, rowCentre(2));
    EXPECT_EQ(selectedPositions(f.lstEmployees), std::vector<int>({1, 3}));
    EXPECT_TRUE(f.cmdAddAll.enabled());  // the list's Click event ran

    QTest::mouseClick(qobject_cast<QPushButton*>(view.child(QStringLiteral("cmdAddAll"))), Qt::LeftButton);
    EXPECT_EQ(f.lstSelectedEmployees.count(), 2);
    QCoreApplication::processEvents();
    EXPECT_EQ(list->model()->rowCount(), 1);

    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rowCentre(0));
    EXPECT_EQ(f.lstEmployees.count(), 0);
    EXPECT_EQ(f.lstSelectedEmployees.findItem(QStringLiteral("42"))->subItem(2), QStringLiteral("000042N"));

    auto* selected = qobject_cast<QTableView*>(view.child(QStringLiteral("lstSelectedEmployees")));
    QCoreApplication::processEvents();
    const QPoint nameHeader(selected->horizontalHeader()->sectionViewportPosition(1) + 5,
                            selected->horizontalHeader()->height() / 2);
    QTest::mouseClick(selected->horizontalHeader()->viewport(), Qt::LeftButton, {}, nameHeader);
    EXPECT_EQ(f.lstSelectedEmployees.sortKey(), 1);
}

// What an embedding program hears: each load, each change of what a commit would write, each
// commit, in the order they happen, and nothing when a count stays the same.
TEST(ControlEvents, TellLoadsPendingRowsAndCommits) {
    CannedHttpServer server;
    server.respond(200, feedDocument({{"7", "Ann"}, {"5", "Bob"}}, {{"3", "Cy"}}));
    ControlHarness h;
    QStringList heard;
    ControlEvents& events = h.control.events();
    events.loaded = [&](int nonSelected, int selected) {
        heard << QStringLiteral("loaded %1 %2").arg(nonSelected).arg(selected);
    };
    events.loadFailed = [&](const QString& reason) { heard << QStringLiteral("load failed: ") + reason; };
    events.pendingChanged = [&](int toAdd, int toRemove) {
        heard << QStringLiteral("pending %1 %2").arg(toAdd).arg(toRemove);
    };
    events.committed = [&](const QString& reply) { heard << QStringLiteral("committed %1").arg(reply.contains(u'<')); };
    events.commitFailed = [&](const QString& reason) { heard << QStringLiteral("commit failed: ") + reason; };
    ReportList& employees = h.form().lstEmployees;
    ReportList& selected = h.form().lstSelectedEmployees;

    h.control.setCenterID(QStringLiteral("1"));
    h.control.setServerName(server.url());
    employees.operatorClick(1, ClickModifier::None);  // Bob, 5
    h.form().cmdAdd.press();
    selected.operatorClick(2, ClickModifier::None);  // Bob again, after Cy
    selected.operatorDoubleClick(2);                 // back home: nothing pending
    employees.operatorClick(1, ClickModifier::None);
    h.form().cmdAdd.press();
    h.form().cmdCommit.press();
    h.control.setServerName(closedPortUrl());

    ASSERT_EQ(heard.size(), 8) << heard.join(u'|').toStdString();
    EXPECT_EQ(heard.mid(0, 7), (QStringList{"loaded 2 1", "pending 1 0", "pending 0 0", "pending 1 0", "committed 1",
                                            "loaded 2 1", "pending 0 0"}));
    EXPECT_TRUE(heard[7].startsWith(QStringLiteral("load failed: the server could not be reached")))
        << heard[7].toStdString();
}

// A screen reader meets every child with a name and the role it acts in, and reads a list's
// rows, its selection and what a commit would do to a row.
TEST(Accessibility, EveryChildHasANameAndItsRoleAndListsReadTheirRows) {
    const std::pair<const char*, QAccessible::Role> roles[] = {
        {"lblNotice", QAccessible::EditableText},  // read-only text that scrolls when it is long
        {"fra", QAccessible::Grouping},
        {"Frame", QAccessible::Grouping},
        {"lbl", QAccessible::StaticText},
        {"lst", QAccessible::Table},
        {"cmd", QAccessible::Button},
        {"opt", QAccessible::RadioButton},
        {"txt", QAccessible::EditableText},
        {"prb", QAccessible::ProgressBar},
    };
    ControlHarness h;
    fillList(h.form().lstSelectedEmployees, {{"7", "Ann"}, {"8", "Bob"}});
    h.form().lstSelectedEmployees.setSubItem(h.form().lstSelectedEmployees.item(2), 2, QStringLiteral("000008N"));
    h.form().lblPending.setCaption(QStringLiteral("1 to add"));
    CenterEmployeeView view(h.form());
    view.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(QAccessible::queryAccessibleInterface(view.child(QStringLiteral("lblPending")))->text(QAccessible::Name),
              QStringLiteral("1 to add"));
    int checked = 0;
    for (const ChildPlacement& placement : formLayout()) {
        QWidget* widget = view.child(placement.name);
        if (!widget) continue;  // the transfer component has no window
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
        ASSERT_NE(face, nullptr) << placement.name.toStdString();
        EXPECT_FALSE(face->text(QAccessible::Name).trimmed().isEmpty()) << placement.name.toStdString();
        const auto role = std::find_if(std::begin(roles), std::end(roles), [&](const auto& r) {
            return placement.name.startsWith(QString::fromLatin1(r.first));
        });
        ASSERT_NE(role, std::end(roles)) << placement.name.toStdString();
        EXPECT_EQ(face->role(), role->second) << placement.name.toStdString();
        ++checked;
    }
    EXPECT_EQ(checked, int(formLayout().size()) - 1);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(view.child(QStringLiteral("cmdAddAll")))->text(QAccessible::Name),
              QStringLiteral("Add selected employees"));

    h.form().lstSelectedEmployees.operatorClick(2, ClickModifier::None);
    QCoreApplication::processEvents();
    QAccessibleTableInterface* table =
        QAccessible::queryAccessibleInterface(view.child(QStringLiteral("lstSelectedEmployees")))->tableInterface();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->rowCount(), 2);
    EXPECT_EQ(table->cellAt(1, 1)->text(QAccessible::Name), QStringLiteral("Bob"));
    EXPECT_EQ(table->cellAt(1, 0)->text(QAccessible::Description), QStringLiteral("to be added"));
    // The pending row's ID reads as it shows, with its state; the sort copy is not a column.
    EXPECT_EQ(table->cellAt(1, 0)->text(QAccessible::Name), QString::fromUtf8("+ 8, to be added"));
    EXPECT_EQ(table->cellAt(0, 0)->text(QAccessible::Name), QStringLiteral("7"));
    EXPECT_EQ(table->columnCount(), 2);
    // Each list reads under its caption, count included; the control's own window is a frame.
    h.form().lblSelVendors.setCaption(QStringLiteral("Selected Active Employees (2):"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(view.child(QStringLiteral("lstSelectedEmployees")))
                  ->text(QAccessible::Name),
              QStringLiteral("Selected Active Employees (2)"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(&view)->role(), QAccessible::Window);
    EXPECT_TRUE(table->cellAt(0, 0)->text(QAccessible::Description).isEmpty());
    EXPECT_EQ(table->selectedRowCount(), 1);
    EXPECT_TRUE(table->isRowSelected(1));
}

}  // namespace
