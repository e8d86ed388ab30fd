#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace feed_tree {

enum class Kind : std::uint8_t { Element, Text, CData, Comment, ProcessingInstruction };

inline constexpr std::uint32_t kNone = 0xFFFFFFFFu;

// One kept node. Nodes are stored in document order, so the first child of a node that has
// children is the next node; only the next sibling needs a link.
struct Node {
    std::uint32_t nextSibling = kNone;
    // Text and CDATA: their characters in the text arena. Elements: the characters of all their
    // descendant text, which the arena holds contiguously between the element's tags.
    // Comments and processing instructions: their value in the mark arena.
    std::uint32_t textBegin = 0;
    std::uint32_t textEnd = 0;
    Kind kind = Kind::Element;
    bool hasChildren = false;
};

// The positional tree of one feed: nodes in fixed-size blocks (growing never copies them, so a
// large feed never holds two copies of its nodes at once) and two UTF-8 arenas.
class Tree {
public:
    static constexpr unsigned kBlockBits = 13;
    static constexpr std::uint32_t kBlockSize = 1u << kBlockBits;

    const Node& node(std::uint32_t index) const { return blocks_[index >> kBlockBits][index & (kBlockSize - 1)]; }
    Node& node(std::uint32_t index) { return blocks_[index >> kBlockBits][index & (kBlockSize - 1)]; }
    std::uint32_t size() const { return size_; }
    std::uint32_t append(const Node& node);

    std::string text;   // character data of text and CDATA nodes, in document order
    std::string marks;  // values of comments and processing instructions

private:
    std::vector<std::unique_ptr<Node[]>> blocks_;
    std::uint32_t size_ = 0;
};

}  // namespace feed_tree

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

// The feed document. A fetch or parse that failed leaves a document without a root element,
// and reading the root then raises an error.
//
// Only the levels the feed readers address are kept as nodes (see kKeptDepth in the source);
// deeper content only adds its text to the text of the nodes above it.
class FeedDocument {
public:
    // Parses the body as XML 1.0; returns false (and keeps no root) when a conforming processor
    // would refuse it, when it refers to anything outside itself, or when its entities expand
    // beyond the limits.
    bool parse(const QByteArray& body);
    // Marks the document as failed to load, with the reason for the operator.
    void fail(const QString& reason);

    FeedNode root() const;
    const QString& failure() const { return failure_; }

private:
    std::unique_ptr<feed_tree::Tree> tree_;
    QString failure_;
};
