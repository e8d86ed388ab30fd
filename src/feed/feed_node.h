#pragma once

#include "feed/feed_tree.h"

#include <QString>
#include <cstdint>

// A node of the feed, read by position among its parent's child nodes. Whitespace-only text
// between elements is not a node; elements, other text, CDATA sections, comments and processing
// instructions are. A position that is not there raises a runtime error.
class FeedNode {
public:
    FeedNode() = default;

    FeedNode child(int position) const;
    int childCount() const;
    // The text of the node and all its descendants.
    QString text() const;

    // In-order walk over the child nodes.
    FeedNode firstChild() const;
    FeedNode nextSibling() const;
    bool isNull() const { return !tree_ || index_ == feed_tree::kNone; }

private:
    friend class FeedDocument;
    FeedNode(const feed_tree::Tree* tree, std::uint32_t index) : tree_(tree), index_(index) {}

    const feed_tree::Tree* tree_ = nullptr;
    std::uint32_t index_ = feed_tree::kNone;
};
