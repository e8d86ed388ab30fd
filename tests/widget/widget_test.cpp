// CenterEmployeeWidget through the library's exported interface: a refused value comes back as
// false with the control's own error, never as an exception across the library's boundary;
// nothing waits for a server on the GUI thread; the properties behave as Qt's do.

#include <TarvoCenterEmp/centeremployeewidget.h>

#include "rules/runtime_error.h"
#include "support/canned_http_server.h"
#include "support/control_harness.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QMetaProperty>
#include <QPluginLoader>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <QUrl>
#include <QVBoxLayout>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

#include <gtest/gtest.h>

namespace {

// Every signal of the widget that tells an outcome, in the order they came.
struct Heard {
    QStringList events;
    explicit Heard(CenterEmployeeWidget& w) {
        QObject::connect(&w, &CenterEmployeeWidget::loaded,
                         [this](int n, int s) { events << QStringLiteral("loaded %1 %2").arg(n).arg(s); });
        QObject::connect(&w, &CenterEmployeeWidget::loadFailed,
                         [this](const QString& r) { events << "loadFailed " + r; });
        QObject::connect(&w, &CenterEmployeeWidget::pendingChanged,
                         [this](int a, int r) { events << QStringLiteral("pending %1 %2").arg(a).arg(r); });
        QObject::connect(&w, &CenterEmployeeWidget::committed,
                         [this](const QString& r) { events << "committed " + r; });
        QObject::connect(&w, &CenterEmployeeWidget::commitFailed,
                         [this](const QString& r) { events << "commitFailed " + r; });
        QObject::connect(&w, &CenterEmployeeWidget::busyChanged,
                         [this](bool b) { events << QStringLiteral("busy %1").arg(b); });
    }
    bool waitFor(const QString& prefix, int ms = 20000) {
        return QTest::qWaitFor(
            [&] {
                return std::any_of(events.begin(), events.end(),
                                   [&](const QString& e) { return e.startsWith(prefix); });
            },
            ms);
    }
};

// Counts the modal boxes that came up, answering each.
struct BoxWatch {
    int shown = 0;
    QTimer timer;
    BoxWatch() {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                ++shown;
                box->accept();
            }
        });
        timer.start(10);
    }
};

// An operator's double-click on the first row of the list of employees not assigned.
void moveFirstEmployee(CenterEmployeeWidget& widget) {
    auto* list = widget.findChild<QAbstractItemView*>(QStringLiteral("lstEmployees"));
    ASSERT_NE(list, nullptr);
    QCoreApplication::processEvents();  // the list lays its rows out
    const QRect first = list->visualRect(list->model()->index(0, 1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, first.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, first.center());
}

TEST(CenterEmployeeWidget, RefusedCenterIDKeepsTheOldValueAndTellsTheControlsError) {
    struct Case {
        const char* text;
        int number;  // 0: taken
        const char* description;
        const char* stored;
    };
    const Case cases[] = {
        {"abc", errors::TypeMismatch, "Type mismatch", "17"},
        {"", errors::TypeMismatch, "Type mismatch", "17"},
        {"2147483648", errors::Overflow, "Overflow", "17"},
        {" 2.5 ", 0, "", "2"},
        {"-2147483648", 0, "", "-2147483648"},
    };
    for (const Case& c : cases) {
        const QString text = QString::fromUtf8(c.text);
        CenterEmployeeWidget widget;
        ASSERT_TRUE(widget.setCenterID(QStringLiteral("17")));
        EXPECT_EQ(widget.setCenterID(text), c.number == 0) << c.text;
        EXPECT_EQ(widget.centerID(), QString::fromUtf8(c.stored)) << c.text;
        EXPECT_EQ(widget.property("centerID").toString(), widget.centerID()) << c.text;
        const CenterEmployeeWidget::Error error = widget.lastError();
        EXPECT_EQ(error.number, c.number) << c.text;
        EXPECT_EQ(error.description, QString::fromUtf8(c.description)) << c.text;
        EXPECT_EQ(error.source, c.number ? QStringLiteral("CenterID") : QString()) << c.text;
        // A refused centre loads nothing and leaves nothing to commit.
        EXPECT_FALSE(widget.hasPendingChanges()) << c.text;
        EXPECT_TRUE(widget.serverName().isEmpty()) << c.text;
    }
    // The error travels in a QVariant, by its registered name too.
    EXPECT_TRUE(QMetaType::fromName("CenterEmployeeWidget::Error").isValid());
}

// A program that signs its user in itself: the first request already carries the credentials, so
// no dialog comes up; a name Basic sign-in cannot carry is refused.
TEST(CenterEmployeeWidget, CredentialsGivenByTheProgramGoWithTheFirstRequest) {
    CannedHttpServer server;
    server.respond(200, "<r/>");
    CenterEmployeeWidget widget;
    EXPECT_FALSE(widget.setCredentials(QStringLiteral("a:b"), QStringLiteral("pw")));
    EXPECT_EQ(widget.lastError().number, errors::TypeMismatch);
    ASSERT_TRUE(widget.setCredentials(QStringLiteral("ann"), QStringLiteral("pw")));
    ASSERT_TRUE(widget.setCenterID(QStringLiteral("1")));
    ASSERT_TRUE(widget.setServerName(server.url()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.requests().size() == 1u; }, 20000));
    EXPECT_EQ(server.requests()[0].authorization, QByteArray("Basic ") + QByteArray("ann:pw").toBase64());
}

// As setupUi() sets them: the server first, then the centre, and the program connects to
// loaded() only afterwards. Nothing goes out before the event loop runs, and then one load of
// the centre set last.
TEST(CenterEmployeeWidget, PropertiesSetBeforeTheEventLoopLoadOnceWhenItRuns) {
    CannedHttpServer server;
    server.respond(200, feedDocument({{"7", "Ann"}, {"5", "Bob"}}, {{"3", "Cy"}}));
    CenterEmployeeWidget widget;
    ASSERT_TRUE(widget.setServerName(server.url()));
    ASSERT_TRUE(widget.setCenterID(QStringLiteral("4")));
    EXPECT_EQ(server.connections(), 0);
    EXPECT_TRUE(widget.isBusy());
    EXPECT_FALSE(widget.isLoaded());
    Heard heard(widget);
    QSignalSpy counts(&widget, &CenterEmployeeWidget::countsChanged);
    ASSERT_TRUE(heard.waitFor(QStringLiteral("busy 0")));
    EXPECT_EQ(heard.events, (QStringList{"loaded 2 1", "busy 0"}));
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].target, QByteArray("/CenterEmployee.asp?centerID=4"));
    EXPECT_TRUE(widget.isLoaded());
    EXPECT_EQ(counts.count(), 1);
    EXPECT_EQ(std::pair(widget.nonSelectedCount(), widget.selectedCount()), std::pair(2, 1));
    // Another centre: what the lists show is no longer that centre's until it is loaded.
    ASSERT_TRUE(widget.setCenterID(QStringLiteral("5")));
    EXPECT_FALSE(widget.isLoaded());
}

// A server that takes the connection and never answers: the calls return at once and the GUI
// thread goes on turning until the stall time-out fails the load (embed_check measures the
// longest stall), with no box when boxes are off; a commit meanwhile is refused, saying why.
TEST(CenterEmployeeWidget, AServerThatNeverAnswersNeitherFreezesTheWindowNorShowsABox) {
    CannedHttpServer server;
    server.respond(200, feedDocument({{"7", "Ann"}}, {}));
    server.deliver(CannedHttpServer::Delivery::Stall);
    CenterEmployeeWidget widget;
    widget.setMessageBoxes(false);
    ASSERT_TRUE(widget.setStallTimeout(1500));
    EXPECT_FALSE(widget.setRequestTimeout(0));
    EXPECT_EQ(widget.lastError().number, errors::Overflow);
    widget.show();
    BoxWatch boxes;
    Heard heard(widget);
    ASSERT_TRUE(widget.setCenterID(QStringLiteral("1")));
    ASSERT_TRUE(widget.setServerName(server.url()));
    widget.commit();
    int turns = 0;
    QTimer turn;
    QObject::connect(&turn, &QTimer::timeout, [&] { ++turns; });
    turn.start(10);
    ASSERT_TRUE(heard.waitFor(QStringLiteral("loadFailed")));
    // The loop went on while the server kept the load waiting 1.5 s; a load that blocked it
    // would leave a turn or two.
    EXPECT_GT(turns, 20);
    EXPECT_EQ(heard.events, (QStringList{"busy 1", "commitFailed a load or another commit is still running",
                                         "loadFailed the server stopped answering", "busy 0"}));
    EXPECT_EQ(boxes.shown, 0);
}

// commit() as "Commit to Database" without waiting: the server takes the batch, the lists are
// reloaded, and only then come pendingChanged(0, 0) and committed; or the server refuses it,
// and commitFailed leaves the moves pending for another try. No box either way.
TEST(CenterEmployeeWidget, CommitEndsWithPendingClearedOrTheMovesKept) {
    struct Case {
        int status;
        const char* reply;
        QStringList heard;
        bool pendingAfter;
        size_t requests;
    };
    const Case cases[] = {
        {200,
         "Saved: 1 assigned, 0 removed.",
         {"busy 1", "loaded 0 1", "pending 0 0", "committed Saved: 1 assigned, 0 removed.", "busy 0"},
         false,
         3},
        {409,
         "already assigned",
         {"busy 1", "busy 0", "commitFailed the server refused the changes (status 409: already assigned)"},
         true,
         2},
    };
    for (const Case& c : cases) {
        CannedHttpServer server;
        const QByteArray before = feedDocument({{"7", "Ann"}}, {});
        server.answerInTurn({{200, before, "text/xml", {}}, {c.status, c.reply, "text/plain", {}}});
        server.respond(200, feedDocument({}, {{"7", "Ann"}}));
        CenterEmployeeWidget widget;
        widget.setMessageBoxes(false);
        widget.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
        BoxWatch boxes;
        Heard heard(widget);
        ASSERT_TRUE(widget.setCenterID(QStringLiteral("1")) && widget.setServerName(server.url()));
        ASSERT_TRUE(heard.waitFor(QStringLiteral("busy 0")));
        moveFirstEmployee(widget);
        ASSERT_TRUE(widget.hasPendingChanges()) << heard.events.join(u'|').toStdString();
        heard.events.clear();
        widget.commit();
        EXPECT_TRUE(widget.isBusy());
        EXPECT_EQ(server.connections(), 1);  // the batch goes out once the loop runs
        ASSERT_TRUE(heard.waitFor(c.status == 200 ? QStringLiteral("committed") : QStringLiteral("commitFailed")));
        EXPECT_EQ(heard.events, c.heard) << c.status;
        EXPECT_EQ(widget.hasPendingChanges(), c.pendingAfter) << c.status;
        EXPECT_EQ(server.requests().size(), c.requests) << c.status;
        EXPECT_EQ(boxes.shown, 0) << c.status;
    }
}

// A centre set while moves are pending changes nothing the lists show: commit() writes the moves
// to the centre they were made in, and the reload after it shows the new centre.
TEST(CenterEmployeeWidget, ACommitWritesToTheCentreTheListsShow) {
    CannedHttpServer server;
    server.answerInTurn({{200, feedDocument({{"7", "Ann"}}, {}), "text/xml", {}},
                         {200, "Saved: 1 assigned, 0 removed.", "text/plain", {}}});
    server.respond(200, feedDocument({{"9", "Bo"}}, {}));
    CenterEmployeeWidget widget;
    widget.setMessageBoxes(false);
    widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
    Heard heard(widget);
    ASSERT_TRUE(widget.setCenterID(QStringLiteral("1")) && widget.setServerName(server.url()));
    ASSERT_TRUE(heard.waitFor(QStringLiteral("busy 0")));
    moveFirstEmployee(widget);
    ASSERT_TRUE(widget.setCenterID(QStringLiteral("2")));
    EXPECT_EQ(widget.centerID(), QStringLiteral("2"));
    EXPECT_FALSE(widget.isLoaded());
    widget.commit();
    ASSERT_TRUE(heard.waitFor(QStringLiteral("committed")));
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    const QString batch = QUrl::fromPercentEncoding(QByteArray(requests[1].body).replace('+', ' '));
    EXPECT_TRUE(batch.contains(QStringLiteral("VALUES (1,7,"))) << batch.toStdString();
    EXPECT_EQ(requests[2].target, QByteArray("/CenterEmployee.asp?centerID=2"));
    EXPECT_TRUE(widget.isLoaded());
}

// Every property tells its changes: each has a NOTIFY signal, and setting a writable one to a
// new value emits it once, with the value read back; setting the same value again emits nothing.
TEST(CenterEmployeeWidget, EveryPropertyNotifiesItsChanges) {
    const std::pair<const char*, QVariant> values[] = {
        {"centerID", QStringLiteral("12")},
        {"serverName", QStringLiteral("http://127.0.0.1:1")},
        {"messageBoxes", false},
        {"stallTimeout", 2500},
        {"requestTimeout", 7000},
    };
    CenterEmployeeWidget widget;
    const QMetaObject* meta = widget.metaObject();
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i)
        EXPECT_TRUE(meta->property(i).hasNotifySignal()) << meta->property(i).name();
    for (const auto& [name, value] : values) {
        const QMetaProperty property = meta->property(meta->indexOfProperty(name));
        QSignalSpy spy(&widget, property.notifySignal());
        ASSERT_TRUE(property.write(&widget, value)) << name;
        ASSERT_TRUE(property.write(&widget, value)) << name;
        EXPECT_EQ(spy.count(), 1) << name;
        EXPECT_EQ(property.read(&widget), value) << name;
    }
}

// Laid out in a larger window, the widget takes the room; it asks for a real minimum below its
// design size.
TEST(CenterEmployeeWidget, GrowsWithItsLayoutAndHasARealMinimum) {
    QWidget window;
    auto* widget = new CenterEmployeeWidget;
    (new QVBoxLayout(&window))->addWidget(widget);
    const QSize design = widget->sizeHint();
    const QSize minimum = widget->minimumSizeHint();
    EXPECT_TRUE(minimum.width() > 100 && minimum.height() > 100) << minimum.width() << "x" << minimum.height();
    EXPECT_TRUE(minimum.width() < design.width() && minimum.height() < design.height());
    window.resize(design * 2);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_GT(widget->width(), design.width() * 3 / 2);
    EXPECT_GT(widget->height(), design.height() * 3 / 2);
    auto* list = widget->findChild<QAbstractItemView*>(QStringLiteral("lstSelectedEmployees"));
    ASSERT_NE(list, nullptr);
    EXPECT_GT(list->height(), design.height() / 2);
}

// Designer: the plugin marks both properties untranslatable, and a form saved that way sets
// them in setupUi(), never in retranslateUi(), where a change of language would set the server
// again and reload over the operator's moves.
TEST(CenterEmployeeWidget, DesignerFormsSetTheAddressOnceAndOfferItToNoTranslator) {
    QPluginLoader loader(QStringLiteral(CENTEREMP_LIB_DIR "/designer/libtarvocenteremp_designer.so"));
    auto* plugin = qobject_cast<QDesignerCustomWidgetInterface*>(loader.instance());
    ASSERT_NE(plugin, nullptr) << loader.errorString().toStdString();
    const QString dom = plugin->domXml();
    for (const char* name : {"centerID", "serverName"})
        EXPECT_TRUE(dom.contains(QStringLiteral("<stringpropertyspecification name=\"%1\" notr=\"true\"").arg(name)))
            << name;
    EXPECT_FALSE(plugin->icon().isNull());

    QTemporaryDir dir;
    const QString form = dir.filePath(QStringLiteral("picker.ui"));
    QFile file(form);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0">
 <class>Picker</class>
 <widget class="QWidget" name="Picker">
  <property name="windowTitle"><string>Centre employees</string></property>
  <layout class="QVBoxLayout" name="layout">
   <item>
    <widget class="CenterEmployeeWidget" name="employees">
     <property name="centerID"><string notr="true">3</string></property>
     <property name="serverName"><string notr="true">http://127.0.0.1:8080</string></property>
    </widget>
   </item>
  </layout>
 </widget>
 <customwidgets>
  <customwidget>
   <class>CenterEmployeeWidget</class>
   <extends>QWidget</extends>
   <header location="global">TarvoCenterEmp/centeremployeewidget.h</header>
  </customwidget>
 </customwidgets>
</ui>
)");
    file.close();
    QProcess uic;
    uic.start(QStringLiteral(CENTEREMP_UIC), {form});
    ASSERT_TRUE(uic.waitForFinished(30000));
    const QString code = QString::fromUtf8(uic.readAllStandardOutput());
    const qsizetype retranslate = code.indexOf(QStringLiteral("void retranslateUi"));
    ASSERT_GT(retranslate, 0) << code.toStdString();
    const qsizetype server = code.indexOf(QStringLiteral("employees->setServerName("));
    const qsizetype centre = code.indexOf(QStringLiteral("employees->setCenterID("));
    EXPECT_TRUE(server > 0 && server < retranslate) << code.toStdString();
    EXPECT_TRUE(centre > 0 && centre < retranslate) << code.toStdString();
    EXPECT_EQ(code.indexOf(QStringLiteral("setServerName"), retranslate), -1) << code.toStdString();
    EXPECT_EQ(code.indexOf(QStringLiteral("setCenterID"), retranslate), -1) << code.toStdString();
}

// With the German translation installed the operator reads German; without one, the control's
// own English, unchanged.
TEST(CenterEmployeeWidget, SpeaksGermanWithItsTranslationAndEnglishWithout) {
    const auto commitCaption = [] {
        CenterEmployeeWidget widget;
        auto* button = widget.findChild<QAbstractButton*>(QStringLiteral("cmdCommit"));
        return button ? button->text() : QString();
    };
    QTranslator german;
    ASSERT_TRUE(german.load(QLocale(QLocale::German), QStringLiteral("tarvocenteremp"), QStringLiteral("_"),
                            QStringLiteral(CENTEREMP_QM_DIR)));
    QCoreApplication::installTranslator(&german);
    EXPECT_EQ(commitCaption(), QStringLiteral("In Datenbank speichern"));
    QCoreApplication::removeTranslator(&german);
    EXPECT_EQ(commitCaption(), QStringLiteral("Commit to Database"));
}

}  // namespace
