#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// Splits one operator-script line into words: blanks separate words; a word in double quotes
// may hold blanks and the escapes \" \\ \n \r \t and \uXXXX; "" is the empty word.
struct ScriptWords {
    QStringList words;
    QString error;  // why the line could not be split; empty when it could
};

ScriptWords splitScriptLine(const QString& line);
