#include "server/feed.h"

#include <charconv>
#include <cstring>
#include <iterator>

namespace centeremp::server {

namespace {

constexpr char32_t replacementCharacter = 0xFFFD;

// The longest output for one UTF-16 code unit: "&quot;" and "&apos;".
constexpr qsizetype maxBytesPerCodeUnit = 6;

char* putUtf8(char* out, char32_t cp) {
    if (cp < 0x80) {
        *out++ = char(cp);
    } else if (cp < 0x800) {
        *out++ = char(0xC0 | (cp >> 6));
        *out++ = char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *out++ = char(0xE0 | (cp >> 12));
        *out++ = char(0x80 | ((cp >> 6) & 0x3F));
        *out++ = char(0x80 | (cp & 0x3F));
    } else {
        *out++ = char(0xF0 | (cp >> 18));
        *out++ = char(0x80 | ((cp >> 12) & 0x3F));
        *out++ = char(0x80 | ((cp >> 6) & 0x3F));
        *out++ = char(0x80 | (cp & 0x3F));
    }
    return out;
}

template <std::size_t N>
char* putLiteral(char* out, const char (&literal)[N]) {
    std::memcpy(out, literal, N - 1);
    return out + N - 1;
}

bool isBlank(QStringView text) {
    for (QChar c : text) {
        if (!c.isSpace()) return false;
    }
    return true;
}

void appendEmployees(QByteArray& out, const std::vector<Employee>& employees) {
    for (const Employee& employee : employees) {
        char number[16];
        const auto converted = std::to_chars(std::begin(number), std::end(number), employee.id);
        out.append("<Employee><ID>");
        out.append(number, converted.ptr - number);
        out.append("</ID><Name>");
        appendXmlText(out, isBlank(employee.name) ? unnamedEmployee : QStringView(employee.name));
        out.append("</Name></Employee>\n");
    }
}

}  // namespace

void appendXmlText(QByteArray& out, QStringView text) {
    // Written through a pointer into room reserved for the worst case, then trimmed: this
    // runs for every name of every feed, and per-character appends dominated the cost.
    const qsizetype start = out.size();
    out.resize(start + text.size() * maxBytesPerCodeUnit);
    char* p = out.data() + start;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x20 && c < 0x7F && c != u'&' && c != u'<' && c != u'>' && c != u'"' && c != u'\'') {
            *p++ = char(c);
            continue;
        }
        switch (c) {
        case u'&': p = putLiteral(p, "&amp;"); continue;
        case u'<': p = putLiteral(p, "&lt;"); continue;
        case u'>': p = putLiteral(p, "&gt;"); continue;
        case u'"': p = putLiteral(p, "&quot;"); continue;
        case u'\'': p = putLiteral(p, "&apos;"); continue;
        case u'\n': p = putLiteral(p, "&#10;"); continue;
        case u'\r': p = putLiteral(p, "&#13;"); continue;
        case u'\t': *p++ = '\t'; continue;
        default: break;
        }
        if (c < 0x20) {
            p = putUtf8(p, replacementCharacter);
        } else if (QChar::isHighSurrogate(c)) {
            if (i + 1 < size && QChar::isLowSurrogate(text[i + 1].unicode())) {
                p = putUtf8(p, QChar::surrogateToUcs4(c, text[i + 1].unicode()));
                ++i;
            } else {
                p = putUtf8(p, replacementCharacter);
            }
        } else if (QChar::isLowSurrogate(c) || c == 0xFFFE || c == 0xFFFF) {
            p = putUtf8(p, replacementCharacter);
        } else {
            p = putUtf8(p, c);
        }
    }
    out.resize(p - out.constData());
}

QByteArray buildCenterFeed(const CenterFeed& feed) {
    QByteArray out;
    // About 50 bytes of markup per employee plus the name.
    out.reserve(256 + qsizetype(feed.nonSelected.size() + feed.selected.size()) * 80);
    out.append("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<CenterEmployees>\n");
    out.append("<Counts><Count><NonSelected>");
    out.append(QByteArray::number(qulonglong(feed.nonSelected.size())));
    out.append("</NonSelected><Selected>");
    out.append(QByteArray::number(qulonglong(feed.selected.size())));
    out.append("</Selected></Count></Counts>\n<NonSelectedEmployees>\n");
    appendEmployees(out, feed.nonSelected);
    out.append("</NonSelectedEmployees>\n<SelectedEmployees>\n");
    appendEmployees(out, feed.selected);
    out.append("</SelectedEmployees>\n</CenterEmployees>\n");
    return out;
}

}  // namespace centeremp::server
