#pragma once

#include <QByteArray>
#include <QString>
#include <pugixml.hpp>

// A node of the feed, read by position among its parent's child nodes. Whitespace-only text
// between elements is not a node; elements, other text, comments and processing instructions
// are. A position that is not there raises a runtime error.
class FeedNode {
public:
    explicit FeedNode(pugi::xml_node node) : node_(node) {}

    FeedNode child(int position) const;
    int childCount() const;
    // The text of the node and all its descendants.
    QString text() const;

    // In-order walk over the child nodes.
    FeedNode firstChild() const { return FeedNode(node_.first_child()); }
    FeedNode nextSibling() const { return FeedNode(node_.next_sibling()); }
    bool isNull() const { return !node_; }

private:
    pugi::xml_node node_;
};

// The feed document. A fetch or parse that failed leaves a document without a root element,
// and reading the root then raises an error.
class FeedDocument {
public:
    // Parses the body; returns false (and keeps no root) when it is not well-formed XML.
    bool parse(const QByteArray& body);
    // Marks the document as failed to load, with the reason for the operator.
    void fail(const QString& reason);

    FeedNode root() const;
    const QString& failure() const { return failure_; }

private:
    pugi::xml_document document_;
    bool loaded_ = false;
    QString failure_;
};
