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

QString usage(const QString& command, const QString& form) {
    return QStringLiteral("%1 takes: %2").arg(command, form);
}

}  // namespace

ScriptRunner::ScriptRunner(IDispatchLike& control, IOperatorDriverLike& driver, QTextStream& out)
    : control_(control), driver_(driver), out_(out) {
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
    return execute(words);
}

QString ScriptRunner::execute(const QStringList& w) {
    const QString& command = w[0];
    const auto argc = w.size() - 1;

    if (command == QLatin1String("set")) {
        if (argc != 2 || (w[1] != QLatin1String("CenterID") && w[1] != QLatin1String("ServerName")))
            return usage(command, QStringLiteral("CenterID|ServerName TEXT"));
        if (const auto error = putProperty(control_, w[1], w[2]))
            print(QStringLiteral("error %1 %2").arg(error->number).arg(error->description));
        return {};
    }
    if (command == QLatin1String("click")) {
        if (argc == 2 && w[2] == QLatin1String("empty")) return driver_.clickEmpty(w[1]);
        const auto row = argc >= 2 ? toInt(w[2]) : std::nullopt;
        if (!row || argc > 3) return usage(command, QStringLiteral("LIST ROW [ctrl|shift] or LIST empty"));
        ListClick how = ListClick::Plain;
        if (argc == 3) {
            if (w[3] == QLatin1String("ctrl")) how = ListClick::Ctrl;
            else if (w[3] == QLatin1String("shift")) how = ListClick::Shift;
            else return usage(command, QStringLiteral("LIST ROW [ctrl|shift] or LIST empty"));
        }
        return driver_.click(w[1], *row, how);
    }
    if (command == QLatin1String("dblclick") || command == QLatin1String("rightclick") ||
        command == QLatin1String("release") || command == QLatin1String("header")) {
        const auto number = argc == 2 ? toInt(w[2]) : std::nullopt;
        if (!number) return usage(command, QStringLiteral("LIST NUMBER"));
        if (command == QLatin1String("dblclick")) return driver_.doubleClick(w[1], *number);
        if (command == QLatin1String("rightclick")) return driver_.rightClick(w[1], *number);
        if (command == QLatin1String("release")) return driver_.releaseButton(w[1], *number);
        return driver_.header(w[1], *number);
    }
    if (command == QLatin1String("menu")) {
        if (argc != 1) return usage(command, QStringLiteral("CAPTION"));
        return driver_.chooseMenu(w[1]);
    }
    if (command == QLatin1String("press")) {
        if (argc != 1) return usage(command, QStringLiteral("NAME"));
        return driver_.press(w[1]);
    }
    if (command == QLatin1String("option")) {
        const auto index = argc == 2 ? toInt(w[2]) : std::nullopt;
        if (!index) return usage(command, QStringLiteral("NAME INDEX"));
        return driver_.option(w[1], *index);
    }
    if (command == QLatin1String("type")) {
        if (argc != 2) return usage(command, QStringLiteral("NAME TEXT"));
        return driver_.type(w[1], w[2]);
    }
    if (command == QLatin1String("call")) {
        bool failed = false;
        ExceptionInfo error;
        if (argc == 1 && w[1] == QLatin1String("SaveToDatabase")) {
            callMethod(control_, w[1], {}, &error, &failed);
        } else if (argc == 2 && w[1] == QLatin1String("urlEncode")) {
            const QVariant result = callMethod(control_, w[1], {w[2]}, &error, &failed);
            if (!failed) print(QStringLiteral("urlEncode ") + result.toString());
        } else {
            return usage(command, QStringLiteral("SaveToDatabase, or urlEncode TEXT"));
        }
        if (failed) print(QStringLiteral("error %1 %2").arg(error.number).arg(error.description));
        return {};
    }
    if (command == QLatin1String("wait")) {
        const auto ms = argc == 1 ? toInt(w[1]) : std::nullopt;
        if (!ms || *ms < 0) return usage(command, QStringLiteral("MS"));
        QEventLoop loop;
        QTimer::singleShot(*ms, &loop, &QEventLoop::quit);
        loop.exec();
        return {};
    }
    if (command == QLatin1String("time")) {
        if (argc != 0) return usage(command, QStringLiteral("nothing"));
        QCoreApplication::processEvents();
        const qint64 now = clock_.nsecsElapsed();
        print(QStringLiteral("time %1").arg(double(now - lastTime_) / 1e6, 0, 'f', 1));
        lastTime_ = now;
        return {};
    }
    if (command == QLatin1String("dump")) {
        if (argc != 0) return usage(command, QStringLiteral("nothing"));
        print(driver_.dump());
        return {};
    }
    return QStringLiteral("unknown command %1").arg(command);
}
