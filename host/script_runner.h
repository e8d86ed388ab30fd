#pragma once

#include "component/component_abi.h"

#include <QElapsedTimer>
#include <QString>
#include <QTextStream>
#include <istream>

// Runs an operator script against a control: each line is one thing the operator or the host
// does, and `dump`, `urlEncode`, `time` and `error` lines go to the output. A sign-in prompt
// the script left without an answer (no `login` line before it) fails the line that raised it.
class ScriptRunner {
public:
    ScriptRunner(IDispatchLike& control, IOperatorDriverLike& driver, QTextStream& out,
                 IOperatorSignInLike* signIn = nullptr, IOperatorGesturesLike* gestures = nullptr);

    // Runs every line as it arrives (a script may be fed while it runs); returns an empty
    // text, or "line N: why" for the first line that cannot be understood.
    QString run(std::istream& script);
    // Runs one line; returns why it cannot be understood, or an empty text.
    QString runLine(const QString& line);
    // Why the control's sign-in prompts since the last call found no answer, or an empty text.
    QString unansweredSignIns();

private:
    struct Command;
    QString execute(const QStringList& words);
    void print(const QString& line);

    // One handler a command, named after it: words[0] is the command, the rest its arguments.
    // Each returns why the line cannot be understood, or an empty text.
    QString set(const QStringList& w);
    QString click(const QStringList& w);
    template <QString (IOperatorDriverLike::*act)(const QString& list, int number)>
    QString listNumber(const QStringList& w);  // dblclick, rightclick, release and header
    QString menu(const QStringList& w);
    QString press(const QStringList& w);
    QString option(const QStringList& w);
    QString type(const QStringList& w);
    QString key(const QStringList& w);
    QString drag(const QStringList& w);
    QString call(const QStringList& w);
    QString wait(const QStringList& w);
    QString time(const QStringList& w);
    QString dump(const QStringList& w);
    QString login(const QStringList& w);

    IDispatchLike& control_;
    IOperatorDriverLike& driver_;
    IOperatorSignInLike* signIn_;
    IOperatorGesturesLike* gestures_;
    QTextStream& out_;
    QElapsedTimer clock_;
    qint64 lastTime_ = 0;
};
