// The widget as a program that embeds it uses it, built against an installed prefix: it loads a
// centre from a real centeremp-server, an operator's double-click makes one move, a commit
// saves it; the signals tell each step with the counts the server's feed gives. Then Designer's
// view of the plugin: it loads and makes the same widget.
// Usage: embed_check PREFIX
#include "check_steps.h"

#include <TarvoCenterEmp/CenterEmployeeWidget>

#include <QAbstractItemView>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPluginLoader>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

namespace {

QString feedUrl(const QString& server) { return server + QStringLiteral("/CenterEmployee.asp?centerID=1"); }

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
    auto* list = widget.findChild<QAbstractItemView*>(QStringLiteral("lstEmployees"));
    check(list != nullptr, QStringLiteral("the list of employees not assigned"));
    if (!list) return;
    QCoreApplication::processEvents();  // the list lays its rows out
    const QRect first = list->visualRect(list->model()->index(0, 1));
    // As an operator does it: the press selects the row, the double-click moves it.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, first.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, first.center());
    check(events == QStringList{QStringLiteral("pending 1 0")} && widget.hasPendingChanges(),
          QStringLiteral("a double-click moves one employee: pending 1 0: %1").arg(events.join(", ")));

    // The control tells the operator the server's reply in a message box; the operator reads it
    // and presses OK.
    QStringList messages;
    QTimer operatorReads;
    QObject::connect(&operatorReads, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            messages << box->text();
            box->accept();
        }
    });
    operatorReads.start(20);
    events.clear();
    check(widget.saveToDatabase(), QStringLiteral("saveToDatabase"));
    check(messages.size() == 1, QStringLiteral("the operator saw: %1").arg(messages.join(", ")));
    check(events.size() == 1 && events[0].startsWith(QStringLiteral("committed Saved: 1 assigned, 0 removed.")),
          QStringLiteral("committed: %1").arg(events.join(", ")));
    const FeedCounts after = countFeed(httpGet(feedUrl(server)));
    check(after.nonSelected == before.nonSelected - 1 && after.selected == before.selected + 1,
          QStringLiteral("the server's feed has the move: %1 %2").arg(after.nonSelected).arg(after.selected));
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
        if (!server.url().isEmpty()) checkOperatorCycle(server.url());
    }
    checkDesignerPlugin(prefix);
    return failedChecks() == 0 ? 0 : 1;
}
