#include "feed/feed_document.h"
#include "rules/runtime_error.h"
#include "support/control_harness.h"

#include <gtest/gtest.h>

namespace {

TEST(FeedDocument, WhitespaceBetweenElementsIsNotANode) {
    FeedDocument document;
    ASSERT_TRUE(document.parse("<r>\n  <a>1</a>\n\t<b>2</b>\r\n</r>"));
    EXPECT_EQ(document.root().childCount(), 2);
    EXPECT_EQ(document.root().child(1).text(), QStringLiteral("2"));
    // Blank or not is decided over all the characters between two tags, however they are written.
    ASSERT_TRUE(document.parse("<r>\n&#32;\t<a>1</a>  &amp;  <b/></r>"));
    EXPECT_EQ(document.root().childCount(), 3);
    EXPECT_EQ(document.root().child(1).text(), QStringLiteral("  &  "));
}

TEST(FeedDocument, CommentsProcessingInstructionsAndTextCount) {
    FeedDocument document;
    ASSERT_TRUE(document.parse("<?xml version=\"1.0\"?><r><!-- note --><?pi x?>text<a>1</a></r>"));
    const FeedNode root = document.root();
    EXPECT_EQ(root.childCount(), 4);
    EXPECT_EQ(root.child(2).text(), QStringLiteral("text"));
    EXPECT_EQ(root.child(3).text(), QStringLiteral("1"));
}

TEST(FeedDocument, TextOfANodeJoinsAllItsDescendants) {
    FeedDocument document;
    ASSERT_TRUE(document.parse("<r><a>x<b>y<c>z</c></b><![CDATA[&w]]></a><d>caf\xc3\xa9 &amp; co</d></r>"));
    EXPECT_EQ(document.root().child(0).text(), QStringLiteral("xyz&w"));
    EXPECT_EQ(document.root().child(1).child(0).text(), QString::fromUtf8("caf\xc3\xa9 & co"));
}

TEST(FeedDocument, AMissingPositionRaises) {
    FeedDocument document;
    ASSERT_TRUE(document.parse("<r><a/></r>"));
    EXPECT_THROW(document.root().child(1), RuntimeError);
    EXPECT_THROW(document.root().child(0).child(0), RuntimeError);
    EXPECT_THROW(document.root().child(-1), RuntimeError);
}

// Bodies a conforming XML 1.0 processor refuses, and bodies that would make the reader fetch,
// guess or expand without bound: no root, and a reason in the operator's words.
struct RefusedBody {
    const char* what;
    const char* body;
    const char* reason;  // part of the failure text
};

std::string nested(int depth) {
    std::string body;
    for (int i = 0; i < depth; ++i) body += "<a>";
    for (int i = 0; i < depth; ++i) body += "</a>";
    return body;
}
const std::string kTooDeep = nested(257);

class RefusedFeed : public ::testing::TestWithParam<RefusedBody> {};

TEST_P(RefusedFeed, LeavesNoRootAndSaysWhy) {
    const RefusedBody& c = GetParam();
    FeedDocument document;
    EXPECT_FALSE(document.parse(QByteArray(c.body))) << c.body;
    EXPECT_THROW(document.root(), RuntimeError);
    EXPECT_TRUE(document.failure().contains(QString::fromUtf8(c.reason))) << document.failure().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Table, RefusedFeed,
    ::testing::Values(
        RefusedBody{"empty", "", "no element found"}, RefusedBody{"not XML", "not xml", "syntax error"},
        RefusedBody{"mismatched tag", "<r><a></r>", "mismatched tag"},
        RefusedBody{"UTF-16 mark with an odd byte", "\xff\xfe<", "line 1"},
        RefusedBody{"text after the root", "<r><a>1</a></r>\ntrailing", "junk after document element, line 2"},
        RefusedBody{"two roots", "<r/><s/>", "junk after document element"},
        RefusedBody{"text before the root", "leading<r/>", "not well-formed"},
        RefusedBody{"bare ampersand", "<r><a>Smith & Sons</a></r>", "not well-formed"},
        RefusedBody{"undefined entity", "<r><a>&nbsp;</a></r>", "undefined entity"},
        RefusedBody{"duplicate attribute", "<r><a x=\"1\" x=\"2\"/></r>", "duplicate attribute"},
        RefusedBody{"control character", "<r><a>\x01</a></r>", "not well-formed"},
        RefusedBody{"reference to NUL", "<r><a>&#0;</a></r>", "invalid character number"},
        RefusedBody{"declaration inside", "<r><?xml version=\"1.0\"?><a/></r>", "not at start of entity"},
        RefusedBody{"external entity", "<!DOCTYPE r SYSTEM \"http://127.0.0.1:1/feed.dtd\"><r><a>&x;</a></r>",
                    "entity x"},
        RefusedBody{"entity amplification",
                    "<!DOCTYPE r [<!ENTITY a \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\">"
                    "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
                    "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
                    "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">"
                    "<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">]><r><a>&e;</a></r>",
                    "amplification"},
        RefusedBody{"nested too deep", kTooDeep.c_str(), "more than 256 deep"}),
    [](const auto& info) { return caseName(info.param.what); });

TEST(FeedDocument, DeepContentOnlyAddsItsText) {
    // Levels below the ones the readers address are no nodes, but their text is not lost.
    FeedDocument document;
    ASSERT_TRUE(document.parse(QByteArray::fromStdString("<r><k><l><m>" + nested(252) + "</m></l></k></r>")));
    ASSERT_TRUE(document.parse("<r><a><b><c><d>x<e>y<f>z</f></e></d>w</c></b></a></r>"));
    const FeedNode level3 = document.root().child(0).child(0).child(0);
    EXPECT_EQ(level3.text(), QStringLiteral("xyzw"));
    EXPECT_EQ(level3.child(0).text(), QStringLiteral("xyz"));
    EXPECT_EQ(level3.child(1).text(), QStringLiteral("w"));
}

TEST(FeedDocument, InternalEntitiesExpand) {
    FeedDocument document;
    ASSERT_TRUE(document.parse("<!DOCTYPE r [<!ENTITY who \"Ex\">]><r><a>&who;ample</a></r>"));
    EXPECT_EQ(document.root().child(0).text(), QStringLiteral("Example"));
}

TEST(FeedDocument, ZeroWidthNoBreakSpaceInATextIsKept) {
    // The encoding mark opens the body; the same character inside a text is part of the text.
    FeedDocument document;
    ASSERT_TRUE(
        document.parse("\xef\xbb\xbf<r><id>\xef\xbb\xbf"
                       "42</id></r>"));
    EXPECT_EQ(document.root().child(0).child(0).text(), QStringLiteral("\uFEFF"
                                                                       "42"));
    EXPECT_EQ(document.root().child(0).text(), QStringLiteral("\uFEFF"
                                                              "42"));
}

TEST(FeedDocument, ReadsTheWindowsCodePageAServerMayDeclare) {
    FeedDocument document;
    ASSERT_TRUE(
        document.parse("<?xml version=\"1.0\" encoding=\"Windows-1252\"?><r><a>Ren\xe9"
                       "e \x80\x9f</a></r>"))
        << document.failure().toStdString();
    EXPECT_EQ(document.root().child(0).text(), QStringLiteral("Ren\u00e9e \u20ac\u0178"));
    EXPECT_FALSE(document.parse("<?xml version=\"1.0\" encoding=\"x-unknown\"?><r/>"));
}

TEST(FeedDocument, EntitiesAreNotExpandedFromOutside) {
    // An external entity is never fetched: the body that refers to one is refused.
    FeedDocument document;
    EXPECT_FALSE(document.parse("<!DOCTYPE r [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><r><a>&x;</a></r>"));
    EXPECT_THROW(document.root(), RuntimeError);
    EXPECT_TRUE(document.failure().contains(QStringLiteral("outside entity"))) << document.failure().toStdString();
}

}  // namespace
