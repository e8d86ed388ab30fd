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

void appendEmployee(QByteArray& out, const Employee& employee) {
    char number[16];
    const auto converted = std::to_chars(std::begin(number), std::end(number), employee.id);
    out.append("<Employee><ID>");
    out.append(number, converted.ptr - number);
    out.append("</ID><Name>");
    appendXmlText(out, isBlank(employee.name) ? unnamedEmployee : QStringView(employee.name));
    out.append("</Name></Employee>\n");
}

// The document around the two lists, whose Employee elements go between.
void appendHead(QByteArray& out, std::size_t nonSelected, std::size_t selected) {
    out.append("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<CenterEmployees>\n");
    out.append("<Counts><Count><NonSelected>");
    out.append(QByteArray::number(qulonglong(nonSelected)));
    out.append("</NonSelected><Selected>");
    out.append(QByteArray::number(qulonglong(selected)));
    out.append("</Selected></Count></Counts>\n<NonSelectedEmployees>\n");
}
void appendBetweenLists(QByteArray& out) { out.append("</NonSelectedEmployees>\n<SelectedEmployees>\n"); }
void appendTail(QByteArray& out) { out.append("</SelectedEmployees>\n</CenterEmployees>\n"); }
constexpr qsizetype markupReserve = 256;
constexpr qsizetype bytesPerEmployee = 80;  // about 50 bytes of markup, and the name

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
    out.reserve(markupReserve + qsizetype(feed.nonSelected.size() + feed.selected.size()) * bytesPerEmployee);
    appendHead(out, feed.nonSelected.size(), feed.selected.size());
    for (const Employee& employee : feed.nonSelected) appendEmployee(out, employee);
    appendBetweenLists(out);
    for (const Employee& employee : feed.selected) appendEmployee(out, employee);
    appendTail(out);
    return out;
}

RenderedEmployees::RenderedEmployees(const std::vector<Employee>& inIdOrder) {
    ids_.reserve(inIdOrder.size());
    starts_.reserve(inIdOrder.size() + 1);
    xml_.reserve(qsizetype(inIdOrder.size()) * bytesPerEmployee);
    for (const Employee& employee : inIdOrder) {
        ids_.push_back(employee.id);
        starts_.push_back(xml_.size());
        appendEmployee(xml_, employee);
    }
    starts_.push_back(xml_.size());
}

QByteArray RenderedEmployees::centerFeed(const std::vector<qint32>& assigned) const {
    std::vector<std::size_t> selected;  // positions in ids_
    auto next = assigned.cbegin();
    for (std::size_t i = 0; i < ids_.size() && next != assigned.cend(); ++i) {
        while (next != assigned.cend() && *next < ids_[i]) ++next;
        if (next != assigned.cend() && *next == ids_[i]) selected.push_back(i);
    }
    const auto element = [this](std::size_t from, std::size_t to) {
        return QByteArrayView(xml_.constData() + starts_[from], starts_[to] - starts_[from]);
    };
    QByteArray out;
    out.reserve(markupReserve + xml_.size());
    appendHead(out, ids_.size() - selected.size(), selected.size());
    std::size_t from = 0;  // the employees between two selected ones are copied in one piece
    for (std::size_t at : selected) {
        out.append(element(from, at));
        from = at + 1;
    }
    out.append(element(from, ids_.size()));
    appendBetweenLists(out);
    for (std::size_t at : selected) out.append(element(at, at + 1));
    appendTail(out);
    return out;
}

}  // namespace centeremp::server
