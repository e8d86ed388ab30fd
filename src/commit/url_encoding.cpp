#include "commit/url_encoding.h"

#include "feed/windows_1252.h"

namespace {

constexpr int kQuestionMark = 63;

using windows_1252::kHighBlock;

bool passesUnchanged(int code) {
    return code == 42 || code == 45 || code == 46 || code == 95 || (code >= 48 && code <= 57) ||
           (code >= 65 && code <= 90) || (code >= 97 && code <= 122);
}

}  // namespace

int windows1252Code(QChar character) {
    const char16_t unit = character.unicode();
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return unit;
    for (int i = 0; i < 32; ++i) {
        if (kHighBlock[i] == unit) return 0x80 + i;
        if (kHighBlock[i] == 0 && unit == 0x80 + i) return unit;  // the five unassigned bytes
    }
    return kQuestionMark;
}

QString urlEncode(const QString& theData) {
    static const char kHex[] = "0123456789ABCDEF";
    QString result;
    result.reserve(theData.size() * 3);
    for (const QChar character : theData) {
        const int code = windows1252Code(character);
        if (code == 32) {
            result += u'+';
        } else if (passesUnchanged(code)) {
            result += QChar(code);
        } else {
            result += u'%';
            result += QLatin1Char(kHex[(code >> 4) & 0xF]);
            result += QLatin1Char(kHex[code & 0xF]);
        }
    }
    return result;
}
