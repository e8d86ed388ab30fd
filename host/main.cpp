// centeremp-host: creates the control through the component runtime, sets CenterID and
// ServerName, and shows it, or replays an operator script against it.

#include "host/component_loader.h"
#include "host/script_runner.h"
#include "host/unsaved_moves.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string_view>

namespace {

struct Options {
    std::optional<QString> center;
    std::optional<QString> server;
    QString script;
    QString screenshot;
    QString library;
};

QString defaultLibrary() {
    // Beside the host in the build tree (bin/ and lib/), in the library folder of the prefix it
    // was installed to, or in the same folder.
    const QString dir = QCoreApplication::applicationDirPath();
    for (const QString& candidate : {dir + QStringLiteral("/../lib/libTarvoCenterEmp.so"),
                                     dir + QStringLiteral("/../" CENTEREMP_INSTALL_LIBDIR "/libTarvoCenterEmp.so.1"),
                                     dir + QStringLiteral("/libTarvoCenterEmp.so")})
        if (QFileInfo::exists(candidate)) return QFileInfo(candidate).canonicalFilePath();
    return QStringLiteral("libTarvoCenterEmp.so");
}

void fail(const QString& message, int code) {
    std::fprintf(stderr, "centeremp-host: %s\n", qPrintable(message));
    std::exit(code);
}

template <typename Interface>
Interface* query(IDispatchLike& object, const QUuid& iid) {
    void* pointer = nullptr;
    if (object.queryInterface(iid, &pointer) != hresult::Ok) fail(QStringLiteral("the control lacks an interface"), 1);
    return static_cast<Interface*>(pointer);
}

// Assigns the two properties in the order hosts must use: the centre first, then the server.
void assignProperties(IDispatchLike& control, const Options& options, QTextStream* out) {
    for (const auto& [name, value] : {std::pair{QStringLiteral("CenterID"), options.center},
                                      std::pair{QStringLiteral("ServerName"), options.server}}) {
        if (!value) continue;
        if (const auto error = putProperty(control, name, *value)) {
            const QString line = QStringLiteral("error %1 %2").arg(error->number).arg(error->description);
            if (out)
                *out << line << '\n' << Qt::flush;
            else
                std::fprintf(stderr, "centeremp-host: %s: %s\n", qPrintable(name), qPrintable(line));
        }
    }
}

// The control's interfaces the host uses; each holds one reference.
struct Control {
    IDispatchLike* object;
    IOperatorDriverLike* driver;
    IControlWindowLike* window;
    IOperatorSignInLike* signIn;      // null for a control without it
    IOperatorGesturesLike* gestures;  // likewise
};

// Whether the host runs a script. A script needs no window: without a display it runs on the
// offscreen platform, which has to be chosen before the application object exists.
bool preferOffscreenForScripts(int argc, char** argv) {
    bool scripted = false;
    for (int i = 1; i < argc; ++i) scripted |= std::string_view(argv[i]) == "--script";
    if (scripted && qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return scripted;
}

Options parseOptions(const QApplication& app) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Hosts the CenterEmployee control."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("center"), QStringLiteral("Assigns CenterID."), QStringLiteral("ID")});
    parser.addOption({QStringLiteral("server"), QStringLiteral("Assigns ServerName."), QStringLiteral("URL")});
    parser.addOption(
        {QStringLiteral("script"), QStringLiteral("Runs an operator script (- for stdin)."), QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("screenshot"),
                      QStringLiteral("Shows the window, saves a screenshot, prints the state and exits."),
                      QStringLiteral("PNG")});
    parser.addOption({QStringLiteral("library"),
                      QStringLiteral("The control library to register when it is not registered."),
                      QStringLiteral("FILE")});
    parser.process(app);

    Options options;
    if (parser.isSet(QStringLiteral("center"))) options.center = parser.value(QStringLiteral("center"));
    if (parser.isSet(QStringLiteral("server"))) options.server = parser.value(QStringLiteral("server"));
    options.script = parser.value(QStringLiteral("script"));
    options.screenshot = parser.value(QStringLiteral("screenshot"));
    options.library =
        parser.isSet(QStringLiteral("library")) ? parser.value(QStringLiteral("library")) : defaultLibrary();
    return options;
}

Control createControl(ComponentLoader& loader) {
    QString error;
    IDispatchLike* object = loader.create(QStringLiteral("TarvoCenterEmp.CenterEmployee"), &error);
    if (!object) fail(error, 1);
    void* signIn = nullptr;
    if (object->queryInterface(iids::OperatorSignIn, &signIn) != hresult::Ok) signIn = nullptr;
    void* gestures = nullptr;
    if (object->queryInterface(iids::OperatorGestures, &gestures) != hresult::Ok) gestures = nullptr;
    return {object, query<IOperatorDriverLike>(*object, iids::OperatorDriver),
            query<IControlWindowLike>(*object, iids::ControlWindow), static_cast<IOperatorSignInLike*>(signIn),
            static_cast<IOperatorGesturesLike*>(gestures)};
}

void release(const Control& control) {
    control.driver->release();
    control.window->release();
    if (control.signIn) control.signIn->release();
    if (control.gestures) control.gestures->release();
    control.object->release();
}

void saveShot(const QPixmap& shot, const QString& file) {
    if (!shot.save(file)) std::fprintf(stderr, "centeremp-host: cannot save %s\n", qPrintable(file));
}

// Runs the script headless; 2 when a line cannot be understood.
int runScript(const Control& control, const Options& options) {
    QTextStream out(stdout);
    control.driver->recordSurface();
    control.window->window();
    assignProperties(*control.object, options, &out);
    const bool fromStdin = options.script == QLatin1String("-");
    std::ifstream file;
    if (!fromStdin) {
        file.open(QFile::encodeName(options.script).toStdString());
        if (!file) fail(QStringLiteral("cannot read the script %1").arg(options.script), 2);
    }
    ScriptRunner runner(*control.object, *control.driver, out, control.signIn, control.gestures);
    // A sign-in the load of --server asked for could not have found a login line yet.
    QString problem = runner.unansweredSignIns();
    if (!problem.isEmpty())
        problem = QStringLiteral("--server: %1 (write the login, then set ServerName, in the script)").arg(problem);
    else
        problem = runner.run(fromStdin ? std::cin : file);
    if (!problem.isEmpty()) std::fprintf(stderr, "centeremp-host: %s\n", qPrintable(problem));
    if (!options.screenshot.isEmpty()) {
        // What the control looks like at the end of the script, drawn by its own widgets.
        QWidget* widget = control.window->window();
        widget->show();
        QApplication::processEvents();
        saveShot(widget->grab(), options.screenshot);
    }
    return problem.isEmpty() ? 0 : 2;
}

// Shows the control in a window until it is closed; with a screenshot asked for, takes it,
// prints the state and quits.
int showWindow(const Control& control, const Options& options) {
    QWidget* widget = control.window->window();
    // The title says which centre of which server the window shows.
    widget->setWindowTitle(QStringLiteral("Centre %1 on %2 - TarvoCenterEmp")
                               .arg(options.center.value_or(QStringLiteral("(none)")),
                                    options.server.value_or(QStringLiteral("(no server)"))));
    UnsavedMovesGuard guard(*control.driver, askInABox(widget));
    widget->installEventFilter(&guard);
    widget->show();
    assignProperties(*control.object, options, nullptr);
    QTextStream out(stdout);
    if (!options.screenshot.isEmpty()) {
        QTimer::singleShot(800, widget, [&] {
            saveShot(widget->screen()->grabWindow(0), options.screenshot);
            control.driver->recordSurface();
            out << control.driver->dump() << '\n' << Qt::flush;
            QApplication::quit();
        });
    }
    return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
    const bool scripted = preferOffscreenForScripts(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("centeremp-host"));
    const Options options = parseOptions(app);

    ComponentLoader loader(options.library);
    const Control control = createControl(loader);
    const int exitCode = scripted ? runScript(control, options) : showWindow(control, options);
    release(control);
    return exitCode;
}
