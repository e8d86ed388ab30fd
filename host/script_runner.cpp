#include "host/script_runner.h"

#include "host/component_loader.h"
#include "host/script_words.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <string>

namespace {

std::optional<int> toInt(const QString& word) {
    bool ok = false;
    const int value = word.toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

// How many arguments follow the command word.
qsizetype argCount(const QStringList& words) { return words.size() - 1; }

QString usage(const QString& command, const QString& form) { return QStringLiteral("%1 takes: %2").arg(command, form); }

}  // namespace

ScriptRunner::ScriptRunner(IDispatchLike& control, IOperatorDriverLike& driver, QTextStream& out,
                           IOperatorSignInLike* signIn, IOperatorGesturesLike* gestures)
    : control_(control), driver_(driver), signIn_(signIn), gestures_(gestures), out_(out) {
    clock_.start();
}

void ScriptRunner::print(const QString& line) {
    out_ << line << '\n';
    out_.flush();
}

QString ScriptRunner::run(std::istream& script) {
    int number = 0;
    std::string bytes;
    while (std::getline(script, bytes)) {
        const QString line = QString::fromUtf8(bytes).remove(u'\r');
        ++number;
        const QString problem = runLine(line);
        if (!problem.isEmpty()) return QStringLiteral("line %1: %2: %3").arg(number).arg(problem, line.trimmed());
    }
    return {};
}

QString ScriptRunner::runLine(const QString& line) {
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(u'#')) return {};
    const ScriptWords split = splitScriptLine(line);
    if (!split.error.isEmpty()) return split.error;
    const QStringList& words = split.words;
    // An open popup menu waits for `menu`; `dump` shows it; anything else dismisses it first.
    if (driver_.menuOpen() && words[0] != QLatin1String("menu") && words[0] != QLatin1String("dump"))
        driver_.dismissMenu();
    const QString problem = execute(words);
    if (!problem.isEmpty()) return problem;
    return unansweredSignIns();
}

QString ScriptRunner::unansweredSignIns() {
    if (!signIn_) return {};
    const QStringList prompts = signIn_->unansweredSignIns();
    if (prompts.isEmpty()) return {};
    return QStringLiteral("the control asked for a sign-in to %1 and the script gave no login before it")
        .arg(prompts.join(QStringLiteral(", ")));
}

struct ScriptRunner::Command {
    QLatin1String word;
    QString (ScriptRunner::*handle)(const QStringList& words);
};

QString ScriptRunner::execute(const QStringList& words) {
    static const Command commands[] = {
        {QLatin1String("set"), &ScriptRunner::set},
        {QLatin1String("click"), &ScriptRunner::click},
        {QLatin1String("dblclick"), &ScriptRunner::listNumber<&IOperatorDriverLike::doubleClick>},
        {QLatin1String("rightclick"), &ScriptRunner::listNumber<&IOperatorDriverLike::rightClick>},
        {QLatin1String("release"), &ScriptRunner::listNumber<&IOperatorDriverLike::releaseButton>},
        {QLatin1String("header"), &ScriptRunner::listNumber<&IOperatorDriverLike::header>},
        {QLatin1String("menu"), &ScriptRunner::menu},
        {QLatin1String("press"), &ScriptRunner::press},
        {QLatin1String("option"), &ScriptRunner::option},
        {QLatin1String("type"), &ScriptRunner::type},
        {QLatin1String("key"), &ScriptRunner::key},
        {QLatin1String("drag"), &ScriptRunner::drag},
        {QLatin1String("call"), &ScriptRunner::call},
        {QLatin1String("wait"), &ScriptRunner::wait},
        {QLatin1String("time"), &ScriptRunner::time},
        {QLatin1String("dump"), &ScriptRunner::dump},
        {QLatin1String("login"), &ScriptRunner::login},
    };
    for (const Command& command : commands)
        if (words[0] == command.word) return (this->*command.handle)(words);
    return QStringLiteral("unknown command %1").arg(words[0]);
}

QString ScriptRunner::set(const QStringList& w) {
    if (argCount(w) != 2 || (w[1] != QLatin1String("CenterID") && w[1] != QLatin1String("ServerName")))
        return usage(w[0], QStringLiteral("CenterID|ServerName TEXT"));
    if (const auto error = putProperty(control_, w[1], w[2]))
        print(QStringLiteral("error %1 %2").arg(error->number).arg(error->description));
    return {};
}

QString ScriptRunner::click(const QStringList& w) {
    const auto argc = argCount(w);
    if (argc == 2 && w[2] == QLatin1String("empty")) return driver_.clickEmpty(w[1]);
    const QString form = QStringLiteral("LIST ROW [ctrl|shift] or LIST empty");
    const auto row = argc >= 2 ? toInt(w[2]) : std::nullopt;
    if (!row || argc > 3) return usage(w[0], form);
    ListClick how = ListClick::Plain;
    if (argc == 3) {
        if (w[3] == QLatin1String("ctrl"))
            how = ListClick::Ctrl;
        else if (w[3] == QLatin1String("shift"))
            how = ListClick::Shift;
        else
            return usage(w[0], form);
    }
    return driver_.click(w[1], *row, how);
}

template <QString (IOperatorDriverLike::*act)(const QString& list, int number)>
QString ScriptRunner::listNumber(const QStringList& w) {
    const auto number = argCount(w) == 2 ? toInt(w[2]) : std::nullopt;
    if (!number) return usage(w[0], QStringLiteral("LIST NUMBER"));
    return (driver_.*act)(w[1], *number);
}

QString ScriptRunner::menu(const QStringList& w) {
    if (argCount(w) != 1) return usage(w[0], QStringLiteral("CAPTION"));
    return driver_.chooseMenu(w[1]);
}

QString ScriptRunner::press(const QStringList& w) {
    if (argCount(w) != 1) return usage(w[0], QStringLiteral("NAME"));
    return driver_.press(w[1]);
}

QString ScriptRunner::option(const QStringList& w) {
    const auto index = argCount(w) == 2 ? toInt(w[2]) : std::nullopt;
    if (!index) return usage(w[0], QStringLiteral("NAME INDEX"));
    return driver_.option(w[1], *index);
}

QString ScriptRunner::key(const QStringList& w) {
    if (argCount(w) != 2) return usage(w[0], QStringLiteral("NAME KEYS"));
    return driver_.key(w[1], w[2]);
}

QString ScriptRunner::drag(const QStringList& w) {
    const auto row = argCount(w) == 3 ? toInt(w[2]) : std::nullopt;
    if (!row) return usage(w[0], QStringLiteral("LIST ROW LIST"));
    if (!gestures_) return QStringLiteral("this control takes no drags");
    return gestures_->drag(w[1], *row, w[3]);
}

QString ScriptRunner::type(const QStringList& w) {
    if (argCount(w) != 2) return usage(w[0], QStringLiteral("NAME TEXT"));
    return driver_.type(w[1], w[2]);
}

QString ScriptRunner::call(const QStringList& w) {
    const auto argc = argCount(w);
    bool failed = false;
    ExceptionInfo error;
    if (argc == 1 && w[1] == QLatin1String("SaveToDatabase")) {
        callMethod(control_, w[1], {}, &error, &failed);
    } else if (argc == 2 && w[1] == QLatin1String("urlEncode")) {
        const QVariant result = callMethod(control_, w[1], {w[2]}, &error, &failed);
        if (!failed) print(QStringLiteral("urlEncode ") + result.toString());
    } else {
        return usage(w[0], QStringLiteral("SaveToDatabase, or urlEncode TEXT"));
    }
    if (failed) print(QStringLiteral("error %1 %2").arg(error.number).arg(error.description));
    return {};
}

QString ScriptRunner::wait(const QStringList& w) {
    const auto ms = argCount(w) == 1 ? toInt(w[1]) : std::nullopt;
    if (!ms || *ms < 0) return usage(w[0], QStringLiteral("MS"));
    QEventLoop loop;
    QTimer::singleShot(*ms, &loop, &QEventLoop::quit);
    loop.exec();
    return {};
}

QString ScriptRunner::time(const QStringList& w) {
    if (argCount(w) != 0) return usage(w[0], QStringLiteral("nothing"));
    QCoreApplication::processEvents();
    const qint64 now = clock_.nsecsElapsed();
    print(QStringLiteral("time %1").arg(double(now - lastTime_) / 1e6, 0, 'f', 1));
    lastTime_ = now;
    return {};
}

QString ScriptRunner::dump(const QStringList& w) {
    if (argCount(w) != 0) return usage(w[0], QStringLiteral("nothing"));
    print(driver_.dump());
    return {};
}

QString ScriptRunner::login(const QStringList& w) {
    if (argCount(w) != 2) return usage(w[0], QStringLiteral("NAME PASSWORD"));
    if (!signIn_) return QStringLiteral("this control takes no login");
    signIn_->answerSignIn(w[1], w[2]);
    return {};
}
