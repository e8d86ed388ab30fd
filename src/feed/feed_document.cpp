#include "feed/feed_document.h"
#include "rules/texts.h"

#include "feed/windows_1252.h"
#include "rules/runtime_error.h"

// Debian's expat is built with DTD support (internal entities and the amplification limits that
// come with them); its header declares those limits only when told so.
#ifndef XML_DTD
#define XML_DTD 1
#endif
#include <expat.h>

#include <QStringDecoder>

#include <algorithm>

using feed_tree::Kind;
using feed_tree::kNone;
using feed_tree::Node;
using feed_tree::Tree;

namespace {

const QString kSource = QStringLiteral("FeedDocument");

// The deepest level kept as nodes: the root is level 0, the counts element and the two blocks
// level 1, the counts record and the employees level 2, the counts, IDs and names level 3, and
// the first child of an ID or a name, whose text the readers take, level 4. Anything deeper only
// contributes its text to the nodes above it, so a feed nested without end costs no more nodes.
constexpr int kKeptDepth = 4;

// The parser keeps about a hundred bytes per open element; a feed nests five deep, and a body
// that nests without end would cost twenty times its size.
constexpr int kMaxDepth = 256;

// The body goes to the parser in slices, so that it keeps no second copy of a large body.
constexpr qsizetype kSliceBytes = 64 * 1024;

// Entities: a feed needs none, a server page may declare a few. Expansion beyond eight times the
// body, once past 1 MiB, is an attack and not a feed; a chain of declarations is capped because
// each entity inside another costs the parser stack.
constexpr float kMaxAmplification = 8.0f;
constexpr unsigned long long kAmplificationThreshold = 1ull << 20;
constexpr int kMaxEntityDeclarations = 256;
// Kept text beyond what the body itself can hold in UTF-8 (1.5 times a UTF-16 body) comes from
// entities; this much of it is allowed, so that memory stays bounded by the body.
constexpr qsizetype kExpansionAllowance = 1 << 20;
// Offsets into the arenas are 32-bit.
constexpr qsizetype kMaxBodyBytes = qsizetype(1) << 30;

RuntimeError missingNode() {
    return {errors::ObjectNotSet, kSource, QStringLiteral("The feed has no node at that position")};
}

bool isXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Builds the tree from the parser's events, in one pass and without recursion.
class Builder {
public:
    Builder(XML_Parser parser, Tree& tree, qsizetype textLimit) : parser_(parser), tree_(tree), textLimit_(textLimit) {
        open_.reserve(kKeptDepth + 1);
    }

    const QString& stopReason() const { return stopReason_; }

    void startElement() {
        if (stopped()) return;
        if (depth_ == kMaxDepth) {
            stop(Texts::tr("it nests elements more than %1 deep").arg(kMaxDepth));
            return;
        }
        endTextRun();
        if (depth_ <= kKeptDepth) {
            const std::uint32_t index = depth_ == 0 ? appendRoot() : appendChild(Kind::Element, 0, 0);
            if (index == kNone) return;
            tree_.node(index).textBegin = std::uint32_t(tree_.text.size());
            open_.push_back({index, kNone});
        }
        ++depth_;
    }

    void endElement() {
        if (stopped()) return;
        endTextRun();
        --depth_;
        if (depth_ <= kKeptDepth) {
            tree_.node(open_.back().node).textEnd = std::uint32_t(tree_.text.size());
            open_.pop_back();
        }
    }

    void characters(const char* data, int length) {
        if (stopped() || depth_ == 0) return;
        if (!runHasContent_ && !inCData_) runHasContent_ = !std::all_of(data, data + length, isXmlSpace);
        tree_.text.append(data, size_t(length));
        checkTextLimit();
    }

    void startCData() {
        if (stopped()) return;
        endTextRun();
        inCData_ = true;
    }

    void endCData() {
        if (stopped()) return;
        // A CDATA section is a node even when it holds only blanks or nothing.
        appendChild(Kind::CData, std::uint32_t(runBegin_), std::uint32_t(tree_.text.size()));
        inCData_ = false;
        runBegin_ = tree_.text.size();
    }

    void mark(Kind kind, const char* value) {
        if (stopped()) return;
        endTextRun();
        if (depth_ == 0 || depth_ > kKeptDepth) return;
        const size_t begin = tree_.marks.size();
        tree_.marks.append(value);
        appendChild(kind, std::uint32_t(begin), std::uint32_t(tree_.marks.size()));
        checkTextLimit();
    }

    void entityDeclared() {
        if (++entityDeclarations_ > kMaxEntityDeclarations)
            stop(Texts::tr("it declares more than %1 entities").arg(kMaxEntityDeclarations));
    }

    void stop(const QString& reason) {
        if (stopped()) return;
        stopReason_ = reason;
        XML_StopParser(parser_, XML_FALSE);
    }

private:
    struct Open {
        std::uint32_t node;
        std::uint32_t lastChild;
    };

    bool stopped() const { return !stopReason_.isEmpty(); }

    // Called at every piece of markup: the characters since the previous one are one text run,
    // however many pieces the parser delivered them in. A run of blanks only is no node and no
    // text; anything else is one text node.
    void endTextRun() {
        if (tree_.text.size() > runBegin_) {
            if (runHasContent_)
                appendChild(Kind::Text, std::uint32_t(runBegin_), std::uint32_t(tree_.text.size()));
            else
                tree_.text.resize(runBegin_);
        }
        runBegin_ = tree_.text.size();
        runHasContent_ = false;
    }

    std::uint32_t appendRoot() {
        Node node;
        return tree_.append(node);
    }

    // Appends a node as the last child of the open element, when its level is kept.
    std::uint32_t appendChild(Kind kind, std::uint32_t begin, std::uint32_t end) {
        if (depth_ == 0 || depth_ > kKeptDepth) return kNone;
        if (tree_.size() == kNone - 1) {
            stop(Texts::tr("it has too many nodes"));
            return kNone;
        }
        Node node;
        node.kind = kind;
        node.textBegin = begin;
        node.textEnd = end;
        const std::uint32_t index = tree_.append(node);
        Open& parent = open_.back();
        if (parent.lastChild == kNone)
            tree_.node(parent.node).hasChildren = true;
        else
            tree_.node(parent.lastChild).nextSibling = index;
        parent.lastChild = index;
        return index;
    }

    void checkTextLimit() {
        if (qsizetype(tree_.text.size() + tree_.marks.size()) > textLimit_)
            stop(Texts::tr("its entities expand to more text than it can hold"));
    }

    XML_Parser parser_;
    Tree& tree_;
    const qsizetype textLimit_;
    int depth_ = 0;           // elements open, kept or not
    std::vector<Open> open_;  // the kept elements open, one per level from the root
    size_t runBegin_ = 0;     // where the current text run starts in the arena
    bool runHasContent_ = false;
    bool inCData_ = false;
    int entityDeclarations_ = 0;
    QString stopReason_;
};

Builder& builderOf(void* userData) { return *static_cast<Builder*>(userData); }

void XMLCALL onStartElement(void* userData, const XML_Char*, const XML_Char**) { builderOf(userData).startElement(); }
void XMLCALL onEndElement(void* userData, const XML_Char*) { builderOf(userData).endElement(); }
void XMLCALL onCharacters(void* userData, const XML_Char* data, int length) {
    builderOf(userData).characters(data, length);
}
void XMLCALL onStartCData(void* userData) { builderOf(userData).startCData(); }
void XMLCALL onEndCData(void* userData) { builderOf(userData).endCData(); }
void XMLCALL onComment(void* userData, const XML_Char* data) { builderOf(userData).mark(Kind::Comment, data); }
void XMLCALL onProcessingInstruction(void* userData, const XML_Char*, const XML_Char* data) {
    builderOf(userData).mark(Kind::ProcessingInstruction, data);
}
void XMLCALL onEntityDeclaration(void* userData, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                                 const XML_Char*, const XML_Char*, const XML_Char*) {
    builderOf(userData).entityDeclared();
}
// A reference to an entity whose declaration was not read (it sits in an external subset or an
// external parameter entity, which are never read): its value is unknown, so the text would be
// silently incomplete.
void XMLCALL onSkippedEntity(void* userData, const XML_Char* name, int) {
    builderOf(userData).stop(
        Texts::tr("it uses the entity %1, whose value it does not contain").arg(QString::fromUtf8(name)));
}
// Nothing outside the body is ever fetched or read: the feed must be complete in itself, and a
// server's page must not make the control open files or addresses.
int XMLCALL onExternalEntity(XML_Parser parser, const XML_Char*, const XML_Char*, const XML_Char* systemId,
                             const XML_Char*) {
    builderOf(XML_GetUserData(parser))
        .stop(Texts::tr("it refers to the outside entity %1").arg(QString::fromUtf8(systemId ? systemId : "")));
    return XML_STATUS_ERROR;
}

// Expat knows UTF-8, UTF-16, ISO-8859-1 and US-ASCII; a server page may also declare the
// Windows code page of its database. Any other encoding is refused rather than guessed.
int XMLCALL onUnknownEncoding(void*, const XML_Char* name, XML_Encoding* info) {
    if (QByteArrayView(name).compare("windows-1252", Qt::CaseInsensitive) != 0) return XML_STATUS_ERROR;
    for (int byte = 0; byte < 256; ++byte) info->map[byte] = windows_1252::character((unsigned char)byte);
    info->data = nullptr;
    info->convert = nullptr;
    info->release = nullptr;
    return XML_STATUS_OK;
}

struct ParserDeleter {
    void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
};

}  // namespace

namespace feed_tree {

std::uint32_t Tree::append(const Node& node) {
    if ((size_ & (kBlockSize - 1)) == 0) blocks_.push_back(std::make_unique<Node[]>(kBlockSize));
    blocks_.back()[size_ & (kBlockSize - 1)] = node;
    return size_++;
}

}  // namespace feed_tree

FeedNode FeedNode::child(int position) const {
    if (isNull() || position < 0) throw missingNode();
    FeedNode current = firstChild();
    for (int i = 0; !current.isNull() && i < position; ++i) current = current.nextSibling();
    if (current.isNull()) throw missingNode();
    return current;
}

int FeedNode::childCount() const {
    int count = 0;
    for (FeedNode c = firstChild(); !c.isNull(); c = c.nextSibling()) ++count;
    return count;
}

FeedNode FeedNode::firstChild() const {
    if (isNull() || !tree_->node(index_).hasChildren) return {};
    return {tree_, index_ + 1};
}

FeedNode FeedNode::nextSibling() const {
    if (isNull()) return {};
    const std::uint32_t next = tree_->node(index_).nextSibling;
    return next == kNone ? FeedNode() : FeedNode(tree_, next);
}

QString FeedNode::text() const {
    if (isNull()) throw missingNode();
    const Node& node = tree_->node(index_);
    const bool isMark = node.kind == Kind::Comment || node.kind == Kind::ProcessingInstruction;
    const std::string& arena = isMark ? tree_->marks : tree_->text;
    // An element's descendant text lies contiguous in the arena, comments and instructions apart.
    // QString::fromUtf8 would drop a U+FEFF that opens the text; the decoder is told to keep it.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(QByteArrayView(arena.data() + node.textBegin, qsizetype(node.textEnd - node.textBegin)));
}

bool FeedDocument::parse(const QByteArray& body) {
    tree_.reset();
    failure_.clear();
    if (body.size() > kMaxBodyBytes) {
        failure_ = Texts::tr("the server's answer is too large to be a feed (%1 bytes)").arg(body.size());
        return false;
    }

    const std::unique_ptr<XML_ParserStruct, ParserDeleter> parser(XML_ParserCreate(nullptr));
    if (!parser) {
        failure_ = Texts::tr("the feed could not be read (out of memory)");
        return false;
    }
    auto tree = std::make_unique<Tree>();
    // A feed's kept text is about a third of its body; reserving half of it spares the arena
    // the copies of growing, whose old and new buffers would otherwise coexist at the peak.
    tree->text.reserve(size_t(body.size() / 2));
    Builder builder(parser.get(), *tree, body.size() + body.size() / 2 + kExpansionAllowance);

    XML_Parser p = parser.get();
    XML_SetUserData(p, &builder);
    XML_SetElementHandler(p, onStartElement, onEndElement);
    XML_SetCharacterDataHandler(p, onCharacters);
    XML_SetCdataSectionHandler(p, onStartCData, onEndCData);
    XML_SetCommentHandler(p, onComment);
    XML_SetProcessingInstructionHandler(p, onProcessingInstruction);
    XML_SetEntityDeclHandler(p, onEntityDeclaration);
    XML_SetSkippedEntityHandler(p, onSkippedEntity);
    XML_SetExternalEntityRefHandler(p, onExternalEntity);
    XML_SetParamEntityParsing(p, XML_PARAM_ENTITY_PARSING_NEVER);
    XML_SetUnknownEncodingHandler(p, onUnknownEncoding, nullptr);
    if (!XML_SetBillionLaughsAttackProtectionMaximumAmplification(p, kMaxAmplification) ||
        !XML_SetBillionLaughsAttackProtectionActivationThreshold(p, kAmplificationThreshold)) {
        failure_ = Texts::tr("the feed could not be read (the XML reader has no entity limits)");
        return false;
    }

    bool ok = true;
    qsizetype offset = 0;
    do {
        const qsizetype slice = std::min(kSliceBytes, body.size() - offset);
        const bool last = offset + slice == body.size();
        ok = XML_Parse(p, body.constData() + offset, int(slice), last ? XML_TRUE : XML_FALSE) == XML_STATUS_OK;
        offset += slice;
    } while (ok && offset < body.size());

    if (!ok) {
        const QString where = Texts::tr("line %1").arg(XML_GetCurrentLineNumber(p));
        if (!builder.stopReason().isEmpty())
            failure_ = Texts::tr("the server's answer is refused as a feed: %1 (%2)").arg(builder.stopReason(), where);
        else
            failure_ = Texts::tr("the server's answer is not a well-formed feed (%1, %2)")
                           .arg(QString::fromUtf8(XML_ErrorString(XML_GetErrorCode(p))), where);
        return false;
    }
    tree_ = std::move(tree);
    return true;
}

void FeedDocument::fail(const QString& reason) {
    tree_.reset();
    failure_ = reason;
}

FeedNode FeedDocument::root() const {
    if (!tree_ || tree_->size() == 0)
        throw RuntimeError(errors::ObjectNotSet, kSource, QStringLiteral("The feed has no root element"));
    return {tree_.get(), 0};
}
