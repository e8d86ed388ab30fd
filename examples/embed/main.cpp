// A program that embeds the centre-employee widget: centeremp-embed SERVER_URL [CENTRE]
// It shows the widget in a main window with a centre picker, Save, a status bar and a close
// guard (employeeswindow.cpp), in the system's language when the library has a translation.
#include "employeeswindow.h"

#include <QApplication>
#include <QLocale>
#include <QTextStream>
#include <QTranslator>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2 || args.size() > 3) {
        QTextStream(stderr) << "usage: centeremp-embed SERVER_URL [CENTRE]\n";
        return 2;
    }
    // The library's texts in the operator's language, from where the package installed them.
    QTranslator translator;
    if (translator.load(QLocale(), QStringLiteral("tarvocenteremp"), QStringLiteral("_"),
                        QStringLiteral(TARVOCENTEREMP_TRANSLATIONS_DIR)))
        QCoreApplication::installTranslator(&translator);

    EmployeesWindow window(args[1], args.size() == 3 ? args[2].toInt() : 1);
    window.show();
    return app.exec();
}
