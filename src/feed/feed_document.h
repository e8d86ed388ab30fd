#pragma once

#include "feed/feed_node.h"
#include "feed/feed_tree.h"

#include <QByteArray>
#include <QString>
#include <memory>

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
