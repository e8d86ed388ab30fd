#include "server/feed.h"

namespace centeremp::server {

namespace {

void appendUtf8(QByteArray &out, char32_t cp)
{
    if (cp < 0x80) {
        out.append(char(cp));
    } else if (cp < 0x800) {
        out.append(char(0xC0 | (cp >> 6)));
        out.append(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.append(char(0xE0 | (cp >> 12)));
        out.append(char(0x80 | ((cp >> 6) & 0x3F)));
        out.append(char(0x80 | (cp & 0x3F)));
    } else {
        out.append(char(0xF0 | (cp >> 18)));
        out.append(char(0x80 | ((cp >> 12) & 0x3F)));
        out.append(char(0x80 | ((cp >> 6) & 0x3F)));
        out.append(char(0x80 | (cp & 0x3F)));
    }
}

constexpr char32_t replacementCharacter = 0xFFFD;

bool isBlank(QStringView text)
{
    for (QChar c : text) {
        if (!c.isSpace())
            return false;
    }
    return true;
}

void appendEmployees(QByteArray &out, const std::vector<Employee> &employees)
{
    for (const Employee &employee : employees) {
        out.append("<Employee><ID>");
        out.append(QByteArray::number(employee.id));
        out.append("</ID><Name>");
        appendXmlText(out, isBlank(employee.name) ? unnamedEmployee : QStringView(employee.name));
        out.append("</Name></Employee>\n");
    }
}

} // namespace

void appendXmlText(QByteArray &out, QStringView text)
{
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = text[i].unicode();
        switch (c) {
        case u'&': out.append("&amp;"); continue;
        case u'<': out.append("&lt;"); continue;
        case u'>': out.append("&gt;"); continue;
        case u'"': out.append("&quot;"); continue;
        case u'\'': out.append("&apos;"); continue;
        case u'\n': out.append("&#10;"); continue;
        case u'\r': out.append("&#13;"); continue;
        case u'\t': out.append('\t'); continue;
        default: break;
        }
        if (c < 0x20) {
            appendUtf8(out, replacementCharacter);
        } else if (QChar::isHighSurrogate(c)) {
            if (i + 1 < size && QChar::isLowSurrogate(text[i + 1].unicode())) {
                appendUtf8(out, QChar::surrogateToUcs4(c, text[i + 1].unicode()));
                ++i;
            } else {
                appendUtf8(out, replacementCharacter);
            }
        } else if (QChar::isLowSurrogate(c) || c == 0xFFFE || c == 0xFFFF) {
            appendUtf8(out, replacementCharacter);
        } else {
            appendUtf8(out, c);
        }
    }
}

QByteArray buildCenterFeed(const CenterFeed &feed)
{
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

} // namespace centeremp::server
