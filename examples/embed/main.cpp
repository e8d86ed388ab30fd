// A window of its own with the centre-employee widget inside: centeremp-embed CENTRE SERVER_URL
#include <TarvoCenterEmp/centeremployeewidget.h>

#include <QApplication>
#include <QLabel>
#include <QTextStream>
#include <QVBoxLayout>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        QTextStream(stderr) << "usage: centeremp-embed CENTRE SERVER_URL\n";
        return 2;
    }
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* status = new QLabel(QStringLiteral("Loading..."));
    auto* employees = new CenterEmployeeWidget;
    layout->addWidget(status);
    layout->addWidget(employees);

    QTextStream out(stdout);
    const auto say = [&](const QString& line) {
        out << line << Qt::endl;
        status->setText(line);
    };
    QObject::connect(employees, &CenterEmployeeWidget::loaded, [&](int nonSelected, int selected) {
        say(QStringLiteral("loaded %1 %2").arg(nonSelected).arg(selected));
    });
    QObject::connect(employees, &CenterEmployeeWidget::loadFailed,
                     [&](const QString& why) { say("load failed: " + why); });
    QObject::connect(employees, &CenterEmployeeWidget::pendingChanged,
                     [&](int toAdd, int toRemove) { say(QStringLiteral("pending %1 %2").arg(toAdd).arg(toRemove)); });
    QObject::connect(employees, &CenterEmployeeWidget::committed,
                     [&](const QString& reply) { say("committed: " + reply); });
    QObject::connect(employees, &CenterEmployeeWidget::commitFailed,
                     [&](const QString& why) { say("commit failed: " + why); });

    // The centre first, then the server: assigning the server loads the lists.
    if (!employees->setCenterID(args[1])) {
        QTextStream(stderr) << "centre " << args[1] << ": " << employees->lastError().description << "\n";
        return 2;
    }
    employees->setServerName(args[2]);
    window.show();
    return app.exec();
}
