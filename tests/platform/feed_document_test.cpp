#include "platform/feed_document.h"
#include "platform/runtime_error.h"

#include <gtest/gtest.h>

namespace {

TEST(FeedDocument, WhitespaceBetweenElementsIsNotANode) {
    FeedDocument document;
    ASSERT_TRUE(document.parse("<r>\n  <a>1</a>\n\t<b>2</b>\r\n</r>"));
    EXPECT_EQ(document.root().childCount(), 2);
    EXPECT_EQ(document.root().child(1).text(), QStringLiteral("2"));
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

TEST(FeedDocument, BrokenInputLeavesNoRoot) {
    for (const char* body : {"", "not xml", "<r><a></r>", "<r/><s/>", "\xff\xfe<"}) {
        FeedDocument document;
        EXPECT_FALSE(document.parse(body)) << body;
        EXPECT_THROW(document.root(), RuntimeError) << body;
        EXPECT_FALSE(document.failure().isEmpty());
    }
}

TEST(FeedDocument, EntitiesAreNotExpandedFromOutside) {
    FeedDocument document;
    // An external entity is neither fetched nor expanded: the reference stays unresolved.
    const bool parsed = document.parse(
        "<!DOCTYPE r [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><r><a>&x;</a></r>");
    if (parsed) EXPECT_FALSE(document.root().child(0).text().contains(QStringLiteral("root:")));
}

}  // namespace
