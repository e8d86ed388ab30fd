#include "commit/url_encoding.h"

namespace {

constexpr int kQuestionMark = 63;

// The characters that Windows-1252 puts at 0x80 to 0x9F, by byte; 0 where the byte has no
// character of its own and stands for the control character of the same number.
constexpr char16_t kHighBlock[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

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
