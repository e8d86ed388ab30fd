#include "server/feed.h"

#include <QXmlStreamReader>

#include "test_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <pugixml.hpp>

#include <string>

using namespace centeremp::server;

namespace {

struct EscapeCase {
    const char* name;
    QString text;
    QByteArray expected;
    friend void PrintTo(const EscapeCase& row, std::ostream* out) { *out << row.name; }
};

class XmlText : public testing::TestWithParam<EscapeCase> {};

TEST_P(XmlText, IsEscapedAndEncoded) {
    QByteArray out = "prefix:";
    appendXmlText(out, GetParam().text);
    EXPECT_EQ(out, "prefix:" + GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    ServerXml, XmlText,
    testing::Values(EscapeCase{"Plain", u"Ann Smith"_qs, "Ann Smith"},
                    EscapeCase{"Markup", u"a&b<c>d\"e'f"_qs, "a&amp;b&lt;c&gt;d&quot;e&apos;f"},
                    EscapeCase{"AlreadyEscapedIsEscapedAgain", u"&amp;"_qs, "&amp;amp;"},
                    EscapeCase{"Latin1", u"José Müller"_qs, "Jos\xC3\xA9 M\xC3\xBCller"},
                    EscapeCase{"ThreeByteUtf8", u"€"_qs, "\xE2\x82\xAC"},
                    EscapeCase{"SurrogatePair", QString::fromUcs4(U"\U0001F600"), "\xF0\x9F\x98\x80"},
                    EscapeCase{"LoneHighSurrogate", QString(QChar(0xD83D)) + u'x', "\xEF\xBF\xBDx"},
                    EscapeCase{"LoneLowSurrogate", QString(QChar(0xDE00)), "\xEF\xBF\xBD"},
                    EscapeCase{"ControlCharacters", units({0, 1, 0x1F}), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
                    EscapeCase{"TabKept", u"a\tb"_qs, "a\tb"},
                    EscapeCase{"LineBreaksAsReferences", u"a\r\nb"_qs, "a&#13;&#10;b"},
                    EscapeCase{"NonCharacters", units({0xFFFE, 0xFFFF}), "\xEF\xBF\xBD\xEF\xBF\xBD"},
                    EscapeCase{"C1ControlIsAllowed", QString(QChar(0x85)), "\xC2\x85"}),
    [](const auto& info) { return std::string(info.param.name); });

// The control reads the document by position only, so check it the same way.
struct PositionalFeed {
    long nonSelectedCount = -1;
    long selectedCount = -1;
    std::vector<std::pair<std::string, std::string>> nonSelected;
    std::vector<std::pair<std::string, std::string>> selected;
};

PositionalFeed readByPosition(const QByteArray& xml) {
    PositionalFeed feed;
    pugi::xml_document doc;
    const auto parsed = doc.load_buffer(xml.constData(), std::size_t(xml.size()));
    EXPECT_TRUE(parsed) << parsed.description();
    const pugi::xml_node root = doc.first_child();
    const pugi::xml_node counts = root.first_child().first_child();
    feed.nonSelectedCount = std::stol(counts.first_child().child_value());
    feed.selectedCount = std::stol(counts.first_child().next_sibling().child_value());
    const pugi::xml_node lists[2] = {root.first_child().next_sibling(),
                                     root.first_child().next_sibling().next_sibling()};
    for (int i = 0; i < 2; ++i) {
        for (pugi::xml_node employee = lists[i].first_child(); employee; employee = employee.next_sibling()) {
            (i == 0 ? feed.nonSelected : feed.selected)
                .emplace_back(employee.first_child().child_value(),
                              employee.first_child().next_sibling().child_value());
        }
    }
    return feed;
}

TEST(CenterFeed, HasCountsThenBothListsInOrder) {
    CenterFeed feed;
    feed.nonSelected = {{4, u"Ann Smith"_qs}, {12, u"Zoë <Z> O'Hara"_qs}};
    feed.selected = {{7, u"Bob & Co"_qs}, {9, u"  "_qs}, {2147483647, u"Last"_qs}};
    const QByteArray xml = buildCenterFeed(feed);
    ASSERT_TRUE(xml.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    const PositionalFeed read = readByPosition(xml);
    EXPECT_EQ(read.nonSelectedCount, 2);
    EXPECT_EQ(read.selectedCount, 3);
    using Row = std::pair<std::string, std::string>;
    EXPECT_EQ(read.nonSelected, (std::vector<Row>{{"4", "Ann Smith"}, {"12", "Zo\xC3\xAB <Z> O'Hara"}}));
    EXPECT_EQ(read.selected, (std::vector<Row>{{"7", "Bob & Co"}, {"9", "(no name)"}, {"2147483647", "Last"}}));
}

TEST(CenterFeed, EmptyListsStillHaveTheirElements) {
    const PositionalFeed read = readByPosition(buildCenterFeed(CenterFeed{}));
    EXPECT_EQ(read.nonSelectedCount, 0);
    EXPECT_EQ(read.selectedCount, 0);
    EXPECT_TRUE(read.nonSelected.empty());
    EXPECT_TRUE(read.selected.empty());
}

// A page put together from employees written once is the page written whole, wherever the
// centre's employees fall among the others.
TEST(CenterFeed, FromRenderedEmployeesIsTheSameDocument) {
    const std::vector<Employee> employees = {
        {-3, u"Minus & Three"_qs}, {1, u"One"_qs}, {2, u" "_qs}, {5, u"Five"_qs}, {9, u"Nine"_qs}};
    const RenderedEmployees rendered(employees);
    const std::vector<std::vector<qint32>> assignedSets = {
        {}, {-3}, {9}, {1, 2}, {-3, 9}, {-3, 1, 2, 5, 9}, {0, 2, 7, 10}, {-5, 3, 4, 100},
    };
    for (const auto& assigned : assignedSets) {
        CenterFeed expected;
        for (const Employee& employee : employees) {
            const bool selected = std::find(assigned.begin(), assigned.end(), employee.id) != assigned.end();
            (selected ? expected.selected : expected.nonSelected).push_back(employee);
        }
        EXPECT_EQ(rendered.centerFeed(assigned), buildCenterFeed(expected)) << assigned.size() << " assigned";
    }
    EXPECT_EQ(RenderedEmployees({}).centerFeed({1}), buildCenterFeed(CenterFeed{}));
}

// Whatever a name holds, the document stays well-formed XML 1.0 and every name has text.
TEST(CenterFeed, StaysWellFormedForEveryUtf16CodeUnit) {
    CenterFeed feed;
    for (char32_t start = 0; start < 0x10000; start += 0x400) {
        QString name;
        for (char32_t unit = start; unit < start + 0x400; ++unit) name += QChar(char16_t(unit));
        feed.selected.push_back({qint32(start), name});
    }
    feed.selected.push_back({-1, QString(QChar(0))});
    const QByteArray xml = buildCenterFeed(feed);
    QXmlStreamReader reader(xml);
    int names = 0;
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == u"Name") {
            EXPECT_FALSE(reader.readElementText().isEmpty());
            ++names;
        }
    }
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString() << " at line " << reader.lineNumber();
    EXPECT_EQ(names, int(feed.selected.size()));
}

}  // namespace
