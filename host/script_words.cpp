#include "host/script_words.h"

namespace {

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

int hexValue(QChar c) {
    if (c >= u'0' && c <= u'9') return c.unicode() - '0';
    if (c >= u'a' && c <= u'f') return c.unicode() - 'a' + 10;
    if (c >= u'A' && c <= u'F') return c.unicode() - 'A' + 10;
    return -1;
}

}  // namespace

ScriptWords splitScriptLine(const QString& line) {
    ScriptWords result;
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (true) {
        while (i < n && isBlank(line[i])) ++i;
        if (i >= n) break;
        QString word;
        if (line[i] != u'"') {
            while (i < n && !isBlank(line[i])) word += line[i++];
            result.words << word;
            continue;
        }
        ++i;  // opening quote
        bool closed = false;
        while (i < n) {
            const QChar c = line[i++];
            if (c == u'"') {
                closed = true;
                break;
            }
            if (c != u'\\') {
                word += c;
                continue;
            }
            if (i >= n) break;
            const QChar escaped = line[i++];
            switch (escaped.unicode()) {
            case '"': word += u'"'; break;
            case '\\': word += u'\\'; break;
            case 'n': word += u'\n'; break;
            case 'r': word += u'\r'; break;
            case 't': word += u'\t'; break;
            case 'u': {
                int value = 0;
                for (int k = 0; k < 4; ++k) {
                    const int digit = i < n ? hexValue(line[i]) : -1;
                    if (digit < 0) {
                        result.error = QStringLiteral("\\u needs four hexadecimal digits");
                        return result;
                    }
                    value = value * 16 + digit;
                    ++i;
                }
                word += QChar(char16_t(value));
                break;
            }
            default:
                result.error = QStringLiteral("unknown escape \\%1").arg(escaped);
                return result;
            }
        }
        if (!closed) {
            result.error = QStringLiteral("a quoted word is not closed");
            return result;
        }
        if (i < n && !isBlank(line[i])) {
            result.error = QStringLiteral("a closing quote must end its word");
            return result;
        }
        result.words << word;
    }
    return result;
}
