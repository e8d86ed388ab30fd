#include "host/script_words.h"

namespace {

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

int hexValue(QChar c) {
    if (c >= u'0' && c <= u'9') return c.unicode() - '0';
    if (c >= u'a' && c <= u'f') return c.unicode() - 'a' + 10;
    if (c >= u'A' && c <= u'F') return c.unicode() - 'A' + 10;
    return -1;
}

// Appends what the escape after a backslash stands for; i is just after the backslash and is
// left after the escape. Returns why the escape is refused, or an empty text.
QString appendEscape(const QString& line, qsizetype& i, QString& word) {
    const QChar escaped = line[i++];
    switch (escaped.unicode()) {
    case '"': word += u'"'; return {};
    case '\\': word += u'\\'; return {};
    case 'n': word += u'\n'; return {};
    case 'r': word += u'\r'; return {};
    case 't': word += u'\t'; return {};
    case 'u': break;
    default: return QStringLiteral("unknown escape \\%1").arg(escaped);
    }
    int value = 0;
    for (int k = 0; k < 4; ++k, ++i) {
        const int digit = i < line.size() ? hexValue(line[i]) : -1;
        if (digit < 0) return QStringLiteral("\\u needs four hexadecimal digits");
        value = value * 16 + digit;
    }
    word += QChar(char16_t(value));
    return {};
}

// Reads the quoted word whose opening quote is at i into word, leaving i after the closing
// quote. Returns why the word is refused, or an empty text.
QString readQuoted(const QString& line, qsizetype& i, QString& word) {
    ++i;
    while (i < line.size()) {
        const QChar c = line[i++];
        if (c == u'"') {
            if (i < line.size() && !isBlank(line[i])) return QStringLiteral("a closing quote must end its word");
            return {};
        }
        if (c != u'\\') {
            word += c;
        } else if (i < line.size()) {
            if (QString error = appendEscape(line, i, word); !error.isEmpty()) return error;
        }
    }
    return QStringLiteral("a quoted word is not closed");
}

}  // namespace

ScriptWords splitScriptLine(const QString& line) {
    ScriptWords result;
    qsizetype i = 0;
    while (true) {
        while (i < line.size() && isBlank(line[i])) ++i;
        if (i >= line.size()) return result;
        QString word;
        if (line[i] != u'"') {
            while (i < line.size() && !isBlank(line[i])) word += line[i++];
        } else if (result.error = readQuoted(line, i, word); !result.error.isEmpty()) {
            return result;
        }
        result.words << word;
    }
}
