#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The nodes a parsed feed keeps, in document order.
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
