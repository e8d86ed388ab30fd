#include "platform/feed_document.h"

#include "platform/runtime_error.h"

namespace {
const QString kSource = QStringLiteral("FeedDocument");

RuntimeError missingNode() {
    return {errors::ObjectNotSet, kSource, QStringLiteral("The feed has no node at that position")};
}
// The parser also takes fragments; a document has exactly one root element and no text
// beside it.
bool hasSingleRoot(const pugi::xml_document& document) {
    int elements = 0;
    for (pugi::xml_node node = document.first_child(); node; node = node.next_sibling()) {
        if (node.type() == pugi::node_element) ++elements;
        if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) return false;
    }
    return elements == 1;
}

}  // namespace

FeedNode FeedNode::child(int position) const {
    if (!node_ || position < 0) throw missingNode();
    pugi::xml_node child = node_.first_child();
    for (int i = 0; child && i < position; ++i) child = child.next_sibling();
    if (!child) throw missingNode();
    return FeedNode(child);
}

int FeedNode::childCount() const {
    int count = 0;
    for (pugi::xml_node c = node_.first_child(); c; c = c.next_sibling()) ++count;
    return count;
}

QString FeedNode::text() const {
    if (!node_) throw missingNode();
    switch (node_.type()) {
    case pugi::node_pcdata:
    case pugi::node_cdata:
    case pugi::node_comment:
    case pugi::node_pi:
        return QString::fromUtf8(node_.value());
    default:
        break;
    }
    // Concatenate the text nodes below, in document order, without recursion.
    QByteArray text;
    pugi::xml_node current = node_.first_child();
    while (current) {
        if (current.type() == pugi::node_pcdata || current.type() == pugi::node_cdata)
            text += current.value();
        if (current.first_child()) {
            current = current.first_child();
            continue;
        }
        while (current && current != node_ && !current.next_sibling()) current = current.parent();
        if (!current || current == node_) break;
        current = current.next_sibling();
    }
    return QString::fromUtf8(text);
}

bool FeedDocument::parse(const QByteArray& body) {
    // Comments and processing instructions count as nodes; whitespace-only text does not.
    const unsigned options = pugi::parse_default | pugi::parse_comments | pugi::parse_pi;
    const pugi::xml_parse_result result =
        document_.load_buffer(body.constData(), size_t(body.size()), options, pugi::encoding_auto);
    loaded_ = result.status == pugi::status_ok && hasSingleRoot(document_);
    if (!loaded_) {
        document_.reset();
        failure_ = QStringLiteral("the server's answer is not a well-formed feed (%1)")
                       .arg(result.status == pugi::status_ok ? QStringLiteral("not one root element")
                                                             : QString::fromUtf8(result.description()));
    }
    return loaded_;
}

void FeedDocument::fail(const QString& reason) {
    document_.reset();
    loaded_ = false;
    failure_ = reason;
}

FeedNode FeedDocument::root() const {
    if (!loaded_) throw RuntimeError(errors::ObjectNotSet, kSource, QStringLiteral("The feed has no root element"));
    return FeedNode(document_.document_element());
}
