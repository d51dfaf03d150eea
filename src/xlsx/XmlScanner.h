#pragma once
// A byte-preserving tokenizer of the XML in package parts: it splits a part into text, tags and
// everything else (comments, processing instructions, CDATA) and hands each token back with its
// exact bytes, so that a rewriter copies what it does not change as it stands. It streams: a
// worksheet of any size passes through a window of a few megabytes.
//
// It never expands an entity: a document type declaration is refused outright, so no entity
// can be declared, and nothing outside the part is ever read.
#include "xlsx/XlsxStatus.h"
#include "xlsx/XmlChecks.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace bf::xlsx {

enum class TokenKind { Text, StartTag, EmptyTag, EndTag, Other };

struct XmlToken {
    TokenKind kind = TokenKind::Other;
    std::string_view raw;   // the token's bytes as they stand in the part
    std::string_view name;  // qualified name of a tag
    std::string_view attrs; // attribute text of a start or empty tag
    bool isTag() const { return kind == TokenKind::StartTag || kind == TokenKind::EmptyTag; }
    // The name without its namespace prefix.
    std::string_view localName() const;
};

// Names are short: read byte by byte, inline, they cost less than a call to the library's search.
inline std::string_view localNameOf(std::string_view qualified)
{
    for (std::size_t i = 0; i < qualified.size(); ++i)
        if (qualified[i] == ':')
            return qualified.substr(i + 1);
    return qualified;
}

inline std::string_view XmlToken::localName() const
{
    return localNameOf(name);
}

// Attributes of a tag: (qualified name, raw value without quotes), in order.
using XmlAttributes = std::vector<std::pair<std::string_view, std::string_view>>;
XmlAttributes parseAttributes(std::string_view attrs);
// The raw value of the attribute whose qualified name is `name` (or, for a name without
// prefix given with prefixAny, whose local name is `name`).
std::optional<std::string_view> attribute(std::string_view attrs, std::string_view name,
                                          bool prefixAny = false);
// A start or empty tag rebuilt with attribute `name` set to `escapedValue` (added when absent)
// or removed (nullopt).
std::string withAttribute(const XmlToken& tag, std::string_view name,
                          std::optional<std::string_view> escapedValue);
// The same for several attributes at once.
using AttributeEdits = std::vector<std::pair<std::string_view, std::optional<std::string>>>;
std::string editTag(const XmlToken& tag, const AttributeEdits& edits);

// Text of a part decoded from XML escapes (as an attribute value: white space normalized), and back.
std::string unescapeXml(std::string_view raw, bool attribute = false);
std::string escapeXml(std::string_view text, bool forAttribute);

// Refuses a part that declares a document type (in UTF-8 or UTF-16). Throws XlsxError.
void refuseDoctype(const QByteArray& part, const QString& detail);

// Every token handed back has been checked as it streams: the part is refused (MalformedXml,
// naming the part and the byte offset) when it is not well-formed: an unfinished token, end
// tags that do not match, a second root, text outside the root, a name, attribute list or
// reference XML does not allow, bytes that are not UTF-8, control characters.
class XmlTokenStream {
public:
    // refill replaces its argument with the next chunk of the part, empty at the end.
    XmlTokenStream(std::function<void(QByteArray&)> refill, QString detail);
    // Over a part held whole.
    XmlTokenStream(const QByteArray& whole, QString detail);
    // The next token, valid until the next call; false at the end. Throws XlsxError for a
    // document type, damage as above or a token beyond the window.
    bool next(XmlToken& token);
    const QString& detail() const { return detail_; }
    // The raw value of the attribute named `name` (as written, prefix and all) of the last
    // token handed back, read as the tag was checked; empty when it has none.
    std::string_view tagAttribute(std::string_view name) const
    {
        for (const XmlAttribute& a : attributes_)
            if (sameName(a.name, name))
                return a.value;
        return {};
    }
    // The offset in the part of the last token handed back.
    std::uint64_t offset() const { return at_; }
    // Refuses the part with `status`, naming the position `at` and what is wrong there.
    [[noreturn]] void refuse(XlsxStatus status, std::uint64_t at, std::string_view what) const;

private:
    enum class Scan { Token, NeedMore, End };
    Scan scan(XmlToken& token);
    Scan scanMarkup(XmlToken& token);
    bool refill();
    void check(const XmlToken& token);
    void checkTag(const XmlToken& token);
    void checkEndTag(const XmlToken& token);
    void checkOther(const XmlToken& token);
    void checkDeclaration(std::string_view attrs);
    void checkEnd() const;
    void refuseAt(const std::optional<XmlFault>& fault) const;

    std::function<void(QByteArray&)> refill_;
    QString detail_;
    QByteArray buffer_; // shares the refill's chunk where it can
    std::size_t pos_ = 0;
    bool final_ = false;
    QByteArray chunk_;
    std::uint64_t base_ = 0; // offset in the part of buffer_[0]
    std::uint64_t at_ = 0;
    std::string open_;                  // names of the open elements, end to end
    std::vector<std::size_t> openFrom_; // where each starts in open_
    bool rootSeen_ = false;
    bool plainText_ = false; // the last text token is plain bytes only, checked as it was found
    bool utf8_ = true; // false once the declaration names a one-byte encoding
    std::vector<XmlAttribute> attributes_; // of the last tag handed back
};

} // namespace bf::xlsx
