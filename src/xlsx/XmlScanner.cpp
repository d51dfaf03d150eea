#include "xlsx/XmlScanner.h"

#include "xlsx/XlsxStatus.h"

#include <algorithm>
#include <cstring>

namespace bf::xlsx {

namespace {

// A token longer than this (a tag, a comment) is not a spreadsheet part.
constexpr std::size_t kMaxTokenBytes = 64u << 20;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

void appendCodePoint(std::string& out, unsigned long cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x110000) {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

} // namespace

XmlAttributes parseAttributes(std::string_view attrs)
{
    XmlAttributes out;
    std::size_t i = 0;
    while (i < attrs.size()) {
        while (i < attrs.size() && isSpace(attrs[i]))
            ++i;
        const std::size_t eq = attrs.find('=', i);
        if (eq == std::string_view::npos)
            break;
        const std::string_view name = trimmed(attrs.substr(i, eq - i));
        std::size_t q = eq + 1;
        while (q < attrs.size() && isSpace(attrs[q]))
            ++q;
        if (q >= attrs.size() || (attrs[q] != '"' && attrs[q] != '\''))
            break;
        const std::size_t close = attrs.find(attrs[q], q + 1);
        if (close == std::string_view::npos)
            break;
        out.emplace_back(name, attrs.substr(q + 1, close - q - 1));
        i = close + 1;
    }
    return out;
}

std::optional<std::string_view> attribute(std::string_view attrs, std::string_view name,
                                          bool prefixAny)
{
    for (const auto& [n, v] : parseAttributes(attrs)) {
        if (n == name || (prefixAny && localNameOf(n) == name && n.find(':') != n.npos
                          && n.substr(0, 5) != "xmlns"))
            return v;
    }
    return std::nullopt;
}

std::string withAttribute(const XmlToken& tag, std::string_view name,
                          std::optional<std::string_view> escapedValue)
{
    AttributeEdits edits;
    edits.emplace_back(name, escapedValue ? std::optional<std::string>(std::string(*escapedValue))
                                          : std::nullopt);
    return editTag(tag, edits);
}

std::string editTag(const XmlToken& tag, const AttributeEdits& edits)
{
    std::string out = "<" + std::string(tag.name);
    std::vector<bool> done(edits.size(), false);
    for (const auto& [n, v] : parseAttributes(tag.attrs)) {
        std::size_t e = 0;
        while (e < edits.size() && edits[e].first != n)
            ++e;
        if (e == edits.size()) {
            out += ' ' + std::string(n) + "=\"" + std::string(v) + '"';
            continue;
        }
        done[e] = true;
        if (edits[e].second)
            out += ' ' + std::string(n) + "=\"" + *edits[e].second + '"';
    }
    for (std::size_t e = 0; e < edits.size(); ++e)
        if (!done[e] && edits[e].second)
            out += ' ' + std::string(edits[e].first) + "=\"" + *edits[e].second + '"';
    out += tag.kind == TokenKind::EmptyTag ? "/>" : ">";
    return out;
}

std::string unescapeXml(std::string_view raw, bool attribute)
{
    std::string out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size();) {
        const char c = raw[i];
        char32_t cp = 0;
        const std::size_t n = c == '&' ? readReference(raw, i, cp) : 0;
        if (n) {
            appendCodePoint(out, cp);
            i += n;
        } else if (c == '\r' || (attribute && (c == '\n' || c == '\t'))) {
            // Line ends read as one line feed; in a value, each white-space character as a space.
            i += c == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n' ? 2 : 1;
            out += attribute ? ' ' : '\n';
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

std::string escapeXml(std::string_view text, bool forAttribute)
{
    std::string out;
    out.reserve(text.size() + 8);
    for (const char c : text) {
        switch (c) {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '&': out += "&amp;"; break;
        case '"': out += forAttribute ? "&quot;" : "\""; break;
        case '\n': out += forAttribute ? "&#10;" : "\n"; break;
        case '\r': out += "&#13;"; break;
        case '\t': out += forAttribute ? "&#9;" : "\t"; break;
        default: out += c;
        }
    }
    return out;
}

void refuseDoctype(const QByteArray& part, const QString& detail)
{
    static const char utf16[] = "<\0!\0D\0O\0C\0T\0Y\0P\0E";
    if (part.contains("<!DOCTYPE") || part.contains(QByteArray(utf16, sizeof utf16 - 1))
        || part.contains(QByteArray("!\0D\0O\0C\0T\0Y\0P\0E\0", 16)))
        fail(XlsxStatus::EntityDeclaration, detail);
}

XmlTokenStream::XmlTokenStream(std::function<void(QByteArray&)> refill, QString detail)
    : refill_(std::move(refill)), detail_(std::move(detail))
{
}

XmlTokenStream::XmlTokenStream(const QByteArray& whole, QString detail)
    : detail_(std::move(detail)), buffer_(whole), final_(true)
{
}

bool XmlTokenStream::refill()
{
    if (final_)
        return false;
    // Only the unread tail is kept, copied: removing the head of a buffer shared with the
    // refill's chunk would copy the whole chunk first.
    const qsizetype unread = buffer_.size() - qsizetype(pos_);
    buffer_ = unread > 0 ? QByteArray(buffer_.constData() + pos_, unread) : QByteArray();
    base_ += pos_;
    pos_ = 0;
    refill_(chunk_);
    if (chunk_.isEmpty()) {
        final_ = true;
    } else {
        // A chunk that starts on a token boundary is shared, not copied.
        if (buffer_.isEmpty())
            buffer_ = chunk_;
        else
            buffer_.append(chunk_);
        if (std::size_t(buffer_.size()) > kMaxTokenBytes + std::size_t(chunk_.size()))
            refuse(XlsxStatus::MalformedXml, base_, "a token longer than 64 MB");
    }
    return true;
}

bool XmlTokenStream::next(XmlToken& token)
{
    attributes_.clear();
    for (;;) {
        at_ = base_ + pos_;
        switch (scan(token)) {
        case Scan::Token:
            check(token);
            return true;
        case Scan::End:
            checkEnd();
            return false;
        case Scan::NeedMore:
            if (!refill())
                refuse(XlsxStatus::MalformedXml, at_, "the part ends inside a token");
        }
    }
}

void XmlTokenStream::refuse(XlsxStatus status, std::uint64_t at, std::string_view what) const
{
    fail(status, detail_ + QStringLiteral(", at byte %1: ").arg(at)
                     + QString::fromUtf8(what.data(), qsizetype(what.size())));
}

void XmlTokenStream::refuseAt(const std::optional<XmlFault>& fault) const
{
    if (fault)
        refuse(XlsxStatus::MalformedXml, at_ + fault->at, fault->what);
}

void XmlTokenStream::check(const XmlToken& t)
{
    switch (t.kind) {
    case TokenKind::Text:
        if (!open_.empty()) {
            if (!plainText_)
                refuseAt(charactersFault(t.raw, CharContext::Text, utf8_));
        } else {
            // Outside the root only white space (and, at the very start, a byte-order mark).
            const std::size_t from = at_ == 0 && t.raw.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
            for (std::size_t i = from; i < t.raw.size(); ++i)
                if (t.raw[i] != ' ' && t.raw[i] != '\t' && t.raw[i] != '\r' && t.raw[i] != '\n')
                    refuse(XlsxStatus::MalformedXml, at_ + i, "text outside the root element");
        }
        break;
    case TokenKind::StartTag:
    case TokenKind::EmptyTag: checkTag(t); break;
    case TokenKind::EndTag: checkEndTag(t); break;
    case TokenKind::Other: checkOther(t); break;
    }
}

void XmlTokenStream::checkTag(const XmlToken& t)
{
    if (open_.empty() && rootSeen_)
        refuse(XlsxStatus::MalformedXml, at_, "a second root element");
    rootSeen_ = true; // the name and attributes were checked as the tag was read
    if (t.kind == TokenKind::StartTag) {
        openFrom_.push_back(open_.size());
        open_.append(t.name);
    }
}

void XmlTokenStream::checkEndTag(const XmlToken& t)
{
    if (open_.empty())
        refuse(XlsxStatus::MalformedXml, at_, "an end tag with no element open");
    const std::string_view expected = std::string_view(open_).substr(openFrom_.back());
    if (!sameName(t.name, expected))
        refuse(XlsxStatus::MalformedXml, at_,
               "the end tag </" + std::string(t.name) + "> where <" + std::string(expected) + "> is open");
    open_.resize(openFrom_.back());
    openFrom_.pop_back();
}

void XmlTokenStream::checkOther(const XmlToken& t)
{
    const std::string_view raw = t.raw;
    if (raw.substr(0, 4) == "<!--") {
        const std::string_view inside = raw.substr(4, raw.size() - 7);
        const std::size_t dashes = inside.find("--");
        if (dashes != inside.npos || (!inside.empty() && inside.back() == '-'))
            refuse(XlsxStatus::MalformedXml, at_ + 4 + std::min(dashes, inside.size() - 1), "\"--\" inside a comment");
        if (const std::optional<XmlFault> f = charactersFault(inside, CharContext::Raw, utf8_))
            refuse(XlsxStatus::MalformedXml, at_ + 4 + f->at, f->what);
    } else if (raw.substr(0, 9) == "<![CDATA[") {
        if (open_.empty())
            refuse(XlsxStatus::MalformedXml, at_, "a CDATA section outside the root element");
        if (const std::optional<XmlFault> f = charactersFault(raw.substr(9, raw.size() - 12), CharContext::Raw, utf8_))
            refuse(XlsxStatus::MalformedXml, at_ + 9 + f->at, f->what);
    } else { // "<?target ...?>"
        const std::string_view inside = raw.substr(2, raw.size() - 4);
        std::size_t n = 0;
        while (n < inside.size() && inside[n] != ' ' && inside[n] != '\t' && inside[n] != '\r' && inside[n] != '\n')
            ++n;
        const std::string_view target = inside.substr(0, n);
        if (const std::optional<XmlFault> f = nameFault(target))
            refuse(XlsxStatus::MalformedXml, at_ + 2 + f->at, f->what);
        if (target.size() == 3 && (target[0] | 0x20) == 'x' && (target[1] | 0x20) == 'm' && (target[2] | 0x20) == 'l') {
            if (target != "xml" || (at_ != 0 && at_ != 3) || rootSeen_)
                refuse(XlsxStatus::MalformedXml, at_, "an XML declaration that is not at the start");
            checkDeclaration(inside.substr(n));
        }
        if (const std::optional<XmlFault> f = charactersFault(inside.substr(n), CharContext::Raw, utf8_))
            refuse(XlsxStatus::MalformedXml, at_ + 2 + n + f->at, f->what);
    }
}

void XmlTokenStream::checkDeclaration(std::string_view attrs)
{
    // The declaration's pseudo-attributes read as those of a tag.
    const std::string tag = "<xml" + std::string(attrs) + ">";
    std::vector<XmlAttribute> pseudo;
    const TagScan scan = scanTag(tag, true, pseudo);
    if (scan.fault || scan.end != tag.size())
        refuse(XlsxStatus::MalformedXml, at_ + 1 + (scan.fault ? scan.fault->at : tag.size()),
               scan.fault ? scan.fault->what : "a declaration that is not sound");
    const std::optional<std::string_view> encoding = attribute(attrs, "encoding");
    if (!encoding)
        return;
    std::string name(*encoding);
    for (char& c : name)
        c = char(c | 0x20);
    // A one-byte encoding keeps every byte a character; any other than UTF-8 is not read here.
    static const char* const oneByte[] = {"iso-8859-", "windows-125", "us-ascii", "ascii", "latin"};
    if (name == "utf-8" || name == "utf8")
        return;
    for (const char* prefix : oneByte)
        if (name.rfind(prefix, 0) == 0) {
            utf8_ = false;
            return;
        }
    refuse(XlsxStatus::MalformedXml, at_, "an encoding other than UTF-8 or a one-byte encoding");
}

void XmlTokenStream::checkEnd() const
{
    if (!open_.empty())
        refuse(XlsxStatus::MalformedXml, at_,
               "the part ends inside <" + std::string(std::string_view(open_).substr(openFrom_.back())) + ">");
    if (!rootSeen_)
        refuse(XlsxStatus::MalformedXml, at_, "no root element");
}

XmlTokenStream::Scan XmlTokenStream::scan(XmlToken& token)
{
    const std::string_view data(buffer_.constData(), std::size_t(buffer_.size()));
    if (pos_ >= data.size())
        return final_ ? Scan::End : Scan::NeedMore;
    if (data[pos_] != '<') {
        // Text is handed back whole, never split where a chunk ends (a reference or a character
        // would be cut in two).
        // Text of plain bytes, the usual kind, is checked as it is found.
        const std::size_t run = pos_ + plainRun(data, pos_);
        plainText_ = run < data.size() && data[run] == '<';
        const std::size_t lt = plainText_ ? run : data.find('<', run);
        if (lt == std::string_view::npos && !final_)
            return Scan::NeedMore;
        const std::size_t end = lt == std::string_view::npos ? data.size() : lt;
        token = XmlToken{TokenKind::Text, data.substr(pos_, end - pos_), {}, {}};
        pos_ = end;
        return Scan::Token;
    }
    return scanMarkup(token);
}

XmlTokenStream::Scan XmlTokenStream::scanMarkup(XmlToken& token)
{
    const std::string_view data(buffer_.constData(), std::size_t(buffer_.size()));
    const std::string_view rest = data.substr(pos_);
    auto closedBy = [&](std::string_view open, std::string_view close) -> Scan {
        const std::size_t e = rest.find(close, open.size());
        if (e == std::string_view::npos)
            return final_ ? (refuse(XlsxStatus::MalformedXml, at_, "the part ends inside a token"), Scan::End)
                          : Scan::NeedMore;
        token = XmlToken{TokenKind::Other, rest.substr(0, e + close.size()), {}, {}};
        pos_ += e + close.size();
        return Scan::Token;
    };
    if (rest.size() < 9 && !final_)
        return Scan::NeedMore;
    if (rest.size() > 1 && (rest[1] == '!' || rest[1] == '?')) {
        if (rest.substr(0, 4) == "<!--")
            return closedBy("<!--", "-->");
        if (rest.substr(0, 9) == "<![CDATA[")
            return closedBy("<![CDATA[", "]]>");
        if (rest[1] == '?')
            return closedBy("<?", "?>");
        fail(XlsxStatus::EntityDeclaration, detail_);
    }
    if (rest.size() > 1 && rest[1] == '/' && !open_.empty()) {
        // The end tag of the open element, as written almost always: its name was checked with
        // its start tag. Any other spelling takes the general path.
        const std::string_view open = std::string_view(open_).substr(openFrom_.back());
        if (rest.size() > open.size() + 2 && rest[open.size() + 2] == '>' && sameName(rest.substr(2, open.size()), open)) {
            token = XmlToken{TokenKind::EndTag, rest.substr(0, open.size() + 3), rest.substr(2, open.size()), {}};
            pos_ += open.size() + 3;
            return Scan::Token;
        }
    }
    const TagScan tag = scanTag(rest, utf8_, attributes_);
    if (tag.fault)
        refuse(XlsxStatus::MalformedXml, at_ + tag.fault->at, tag.fault->what);
    if (tag.end == 0)
        return final_ ? (refuse(XlsxStatus::MalformedXml, at_, "the part ends inside a tag"), Scan::End)
                      : Scan::NeedMore;
    const std::size_t nameFrom = tag.endTag ? 2 : 1;
    const TokenKind kind = tag.endTag ? TokenKind::EndTag : tag.empty ? TokenKind::EmptyTag : TokenKind::StartTag;
    token = XmlToken{kind, rest.substr(0, tag.end), rest.substr(nameFrom, tag.nameEnd - nameFrom),
                     tag.endTag ? std::string_view() : rest.substr(tag.nameEnd, tag.attrsEnd - tag.nameEnd)};
    pos_ += tag.end;
    return Scan::Token;
}

} // namespace bf::xlsx
