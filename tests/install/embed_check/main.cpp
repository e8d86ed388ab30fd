// The widget as a program that embeds it uses it, built against an installed prefix (or the
// installed Debian packages): it loads a centre from a real centeremp-server, an operator's
// double-click makes one move, saveToDatabase saves it with the library's own box. Then the
// example application (examples/embed) driven as an operator would: Save without a box and the
// moves no longer pending, the close guard saving before the window goes, no stall of the
// window while a server never answers, and its texts in German from the installed translation.
// Then Designer's view of the plugin.
// Usage: embed_check PREFIX
#include "check_steps.h"
#include "employeeswindow.h"

#include <TarvoCenterEmp/CenterEmployeeWidget>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QMetaProperty>
#include <QPluginLoader>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

namespace {

QString feedUrl(const QString& server) { return server + QStringLiteral("/CenterEmployee.asp?centerID=1"); }

// Answers every modal box as an operator would, with the button given, and counts them.
struct Operator {
    QMessageBox::StandardButton answer = QMessageBox::Ok;
    QStringList boxes;
    QTimer timer;
    Operator() {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            boxes << box->text();
            if (QAbstractButton* button = box->button(answer))
                button->click();
            else
                box->reject();
        });
        timer.start(20);
    }
};

// As an operator does it: the press selects the first row, the double-click moves it.
void moveFirstRow(CenterEmployeeWidget& widget) {
    auto* list = widget.findChild<QAbstractItemView*>(QStringLiteral("lstEmployees"));
    check(list != nullptr, QStringLiteral("the list of employees not assigned"));
    if (!list) return;
    QCoreApplication::processEvents();  // the list lays its rows out
    const QRect first = list->visualRect(list->model()->index(0, 1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, first.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, first.center());
}

void checkOperatorCycle(const QString& server) {
    const FeedCounts before = countFeed(httpGet(feedUrl(server)));
    check(before.nonSelected > 0 && before.selected >= 0, QStringLiteral("the feed of centre 1 has someone to move"));

    CenterEmployeeWidget widget;
    QStringList events;
    QObject::connect(&widget, &CenterEmployeeWidget::loaded,
                     [&](int n, int s) { events << QStringLiteral("loaded %1 %2").arg(n).arg(s); });
    QObject::connect(&widget, &CenterEmployeeWidget::loadFailed,
                     [&](const QString& r) { events << "loadFailed " + r; });
    QObject::connect(&widget, &CenterEmployeeWidget::pendingChanged,
                     [&](int a, int r) { events << QStringLiteral("pending %1 %2").arg(a).arg(r); });
    QObject::connect(&widget, &CenterEmployeeWidget::committed, [&](const QString& r) { events << "committed " + r; });
    QObject::connect(&widget, &CenterEmployeeWidget::commitFailed, [&](const QString& r) { events << "failed " + r; });
    widget.show();
    check(QTest::qWaitForWindowExposed(&widget), QStringLiteral("the widget is shown"));
    static_assert(TARVOCENTEREMP_VERSION >= QT_VERSION_CHECK(1, 0, 0));
    auto* version = widget.findChild<QLabel*>(QStringLiteral("lblVersionNumber"));
    check(version && version->text().endsWith(QStringLiteral(" " TARVOCENTEREMP_VERSION_STRING)),
          QStringLiteral("the version label shows the header's version %1").arg(TARVOCENTEREMP_VERSION_STRING));

    check(widget.setCenterID(QStringLiteral("1")) && widget.setServerName(server), QStringLiteral("centre and server"));
    // The load runs once the event loop does.
    QTest::qWaitFor([&] { return !events.isEmpty(); }, 20000);
    const QString loaded = QStringLiteral("loaded %1 %2").arg(before.nonSelected).arg(before.selected);
    check(events == QStringList{loaded}, QStringLiteral("%1, as the feed counts: %2").arg(loaded, events.join(", ")));

    events.clear();
    moveFirstRow(widget);
    check(events == QStringList{QStringLiteral("pending 1 0")} && widget.hasPendingChanges(),
          QStringLiteral("a double-click moves one employee: pending 1 0: %1").arg(events.join(", ")));

    // The control tells the operator the server's reply in a message box; the operator reads it
    // and presses OK.
    Operator person;
    events.clear();
    check(widget.saveToDatabase(), QStringLiteral("saveToDatabase"));
    check(person.boxes.size() == 1, QStringLiteral("the operator saw: %1").arg(person.boxes.join(", ")));
    check(events.size() == 1 && events[0].startsWith(QStringLiteral("committed Saved: 1 assigned, 0 removed.")),
          QStringLiteral("committed: %1").arg(events.join(", ")));
    const FeedCounts after = countFeed(httpGet(feedUrl(server)));
    check(after.nonSelected == before.nonSelected - 1 && after.selected == before.selected + 1,
          QStringLiteral("the server's feed has the move: %1 %2").arg(after.nonSelected).arg(after.selected));
}

void checkExampleWindow(const QString& server) {
    const FeedCounts before = countFeed(httpGet(feedUrl(server)));
    Operator person;
    EmployeesWindow window(server, 1);
    window.show();
    CenterEmployeeWidget& widget = *window.employees();
    const bool loaded = QTest::qWaitFor([&] { return window.status() == QStringLiteral("Loaded."); }, 20000);
    check(loaded, QStringLiteral("the example loads centre 1: %1").arg(window.status()));
    check(widget.nonSelectedCount() == before.nonSelected && widget.selectedCount() == before.selected,
          QStringLiteral("its counts are the feed's"));
    const QMetaObject* meta = widget.metaObject();
    bool notifying = true;
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i)
        notifying &= meta->property(i).hasNotifySignal();
    check(notifying, QStringLiteral("every property of the widget has a NOTIFY signal"));

    moveFirstRow(widget);
    check(widget.hasPendingChanges() && window.saveAction()->isEnabled(), QStringLiteral("a move enables Save"));
    window.saveAction()->trigger();
    const bool saved =
        QTest::qWaitFor([&] { return window.status().startsWith(QStringLiteral("Saved: 1 assigned")); }, 20000);
    check(saved, QStringLiteral("Save saves: %1").arg(window.status()));
    check(!widget.hasPendingChanges() && !window.saveAction()->isEnabled() && person.boxes.isEmpty(),
          QStringLiteral("after Save nothing is pending, and no box came: %1").arg(person.boxes.join(", ")));

    // Closing with a move not saved asks; Save closes the window once the server took it.
    moveFirstRow(widget);
    person.answer = QMessageBox::Save;
    window.close();
    const bool closed = QTest::qWaitFor([&] { return !window.isVisible(); }, 20000);
    check(closed && person.boxes.size() == 1,
          QStringLiteral("the close guard asks once and closes after saving: %1").arg(person.boxes.join(", ")));
    const FeedCounts after = countFeed(httpGet(feedUrl(server)));
    check(after.nonSelected == before.nonSelected - 2 && after.selected == before.selected + 2,
          QStringLiteral("the server's feed has both moves: %1 %2").arg(after.nonSelected).arg(after.selected));
}

// A server that takes the connection and never answers: the window's loop keeps turning (no
// gap over 50 ms) until the stall time-out tells the operator, in the status bar only.
void checkNoStall() {
    QTcpServer silent;
    silent.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&silent, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* socket = silent.nextPendingConnection()) socket->setParent(&silent);  // read, never answer
    });
    Operator person;
    EmployeesWindow window(QStringLiteral("http://127.0.0.1:%1").arg(silent.serverPort()), 1);
    window.employees()->setStallTimeout(1000);
    window.show();
    const LoopStallWatch stalls;
    const bool told = QTest::qWaitFor([&] { return window.status().startsWith(QStringLiteral("Not loaded")); }, 20000);
    check(told && window.status().contains(QStringLiteral("stopped answering")),
          QStringLiteral("a server that never answers fails the load: %1").arg(window.status()));
    check(stalls.longestMs() < 50,
          QStringLiteral("the window never stalled longer than 50 ms: %1 ms at most").arg(stalls.longestMs()));
    check(person.boxes.isEmpty(), QStringLiteral("no box: %1").arg(person.boxes.join(", ")));
}

// The installed German translation: the operator reads German.
void checkGerman(const QString& prefix) {
    QTranslator german;
    const bool loaded = german.load(QLocale(QLocale::German), QStringLiteral("tarvocenteremp"), QStringLiteral("_"),
                                    prefix + QStringLiteral("/share/tarvocenteremp/translations"));
    check(loaded, QStringLiteral("the German translation is installed"));
    QCoreApplication::installTranslator(&german);
    CenterEmployeeWidget widget;
    auto* commit = widget.findChild<QAbstractButton*>(QStringLiteral("cmdCommit"));
    check(commit && commit->text() == QStringLiteral("In Datenbank speichern"),
          QStringLiteral("with it, Commit to Database reads %1").arg(commit ? commit->text() : QString()));
    QCoreApplication::removeTranslator(&german);
}

void checkDesignerPlugin(const QString& prefix) {
    const QString dir = prefix + QStringLiteral("/" DESIGNER_PLUGIN_DIR "/");
    QPluginLoader loader(dir + QStringLiteral("libtarvocenteremp_designer.so"));
    auto* plugin = qobject_cast<QDesignerCustomWidgetInterface*>(loader.instance());
    check(plugin != nullptr, QStringLiteral("Designer's plugin loads: %1").arg(loader.errorString()));
    if (!plugin) return;
    check(plugin->name() == QStringLiteral("CenterEmployeeWidget"), QStringLiteral("the plugin names the widget"));
    std::unique_ptr<QWidget> made(plugin->createWidget(nullptr));
    auto* widget = qobject_cast<CenterEmployeeWidget*>(made.get());
    check(widget && widget->setProperty("centerID", QStringLiteral("7")) && widget->centerID() == QStringLiteral("7"),
          QStringLiteral("the plugin makes the widget, whose centerID the property editor sets"));
    check(plugin->domXml().count(QStringLiteral("notr=\"true\"")) == 2 && !plugin->icon().isNull(),
          QStringLiteral("the plugin marks centerID and serverName untranslatable and has an icon"));
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (app.arguments().size() != 2) return 2;
    const QString prefix = app.arguments()[1];
    QTemporaryDir dir;
    {
        DemoServer server(prefix + QStringLiteral("/bin/centeremp-server"),
                          dir.filePath(QStringLiteral("demo.sqlite")));
        check(!server.url().isEmpty(), QStringLiteral("the server is listening at %1").arg(server.url()));
        if (!server.url().isEmpty()) {
            checkOperatorCycle(server.url());
            checkExampleWindow(server.url());
        }
    }
    checkNoStall();
    checkGerman(prefix);
    checkDesignerPlugin(prefix);
    return failedChecks() == 0 ? 0 : 1;
}
