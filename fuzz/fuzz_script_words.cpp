// Operator-script words survive being written back: a line is split, every word is quoted with
// the escapes the splitter knows, and the rebuilt line splits into the same words. Words that
// came out of a line must also be writable, or a recorded session could not be replayed.

#include "host/script_words.h"

#include <QString>
#include <QStringList>
#include <cstdio>
#include <cstdlib>

namespace {

// The obvious writer for the splitter's quoted form: only the quote and the backslash need an
// escape inside quotes; line breaks are escaped so the word stays on one script line.
QString quoteWord(const QString& word) {
    QString quoted = QStringLiteral("\"");
    for (const QChar c : word) {
        switch (c.unicode()) {
        case u'"': quoted += QStringLiteral("\\\""); break;
        case u'\\': quoted += QStringLiteral("\\\\"); break;
        case u'\n': quoted += QStringLiteral("\\n"); break;
        case u'\r': quoted += QStringLiteral("\\r"); break;
        default: quoted += c; break;
        }
    }
    return quoted + u'"';
}

QString quoteLine(const QStringList& words) {
    QStringList quoted;
    for (const QString& word : words) quoted << quoteWord(word);
    return quoted.join(u' ');
}

[[noreturn]] void fail(const char* what, const QString& line) {
    std::fprintf(stderr, "script words: %s for line \"%s\"\n", what, qPrintable(line));
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Even sizes as raw UTF-16 (lone surrogates and all), odd sizes as UTF-8 text as scripts are read.
    const QString line = size % 2 == 0 ? QString(reinterpret_cast<const QChar*>(data), qsizetype(size / 2))
                                       : QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const ScriptWords split = splitScriptLine(line);
    if (!split.error.isEmpty()) return 0;
    for (const QString& word : split.words)
        if (word.isEmpty() && !line.contains(QStringLiteral("\"\""))) fail("an empty word without quotes", line);

    const QString rebuilt = quoteLine(split.words);
    const ScriptWords again = splitScriptLine(rebuilt);
    if (!again.error.isEmpty()) fail("the quoted line does not split", rebuilt);
    if (again.words != split.words) fail("the quoted line splits into other words", rebuilt);
    // Quoting is a fixed point: the same words quote to the same line.
    if (quoteLine(again.words) != rebuilt) fail("quoting is not stable", rebuilt);
    return 0;
}
