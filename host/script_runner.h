#pragma once

#include "component/component_abi.h"

#include <QElapsedTimer>
#include <QString>
#include <QTextStream>
#include <istream>

// Runs an operator script against a control: each line is one thing the operator or the host
// does, and `dump`, `urlEncode`, `time` and `error` lines go to the output.
class ScriptRunner {
public:
    ScriptRunner(IDispatchLike& control, IOperatorDriverLike& driver, QTextStream& out);

    // Runs every line as it arrives (a script may be fed while it runs); returns an empty
    // text, or "line N: why" for the first line that cannot be understood.
    QString run(std::istream& script);
    // Runs one line; returns why it cannot be understood, or an empty text.
    QString runLine(const QString& line);

private:
    QString execute(const QStringList& words);
    void print(const QString& line);

    IDispatchLike& control_;
    IOperatorDriverLike& driver_;
    QTextStream& out_;
    QElapsedTimer clock_;
    qint64 lastTime_ = 0;
};
