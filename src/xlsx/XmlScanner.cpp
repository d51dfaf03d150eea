#include "xlsx/XmlScanner.h"

#include "xlsx/XlsxStatus.h"

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

// Position after the '>' closing the tag that opens at `from`, quotes respected; npos if the
// data ends first.
std::size_t tagEnd(std::string_view data, std::size_t from)
{
    char quote = 0;
    for (std::size_t i = from + 1; i < data.size(); ++i) {
        const char c = data[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return i + 1;
        }
    }
    return std::string_view::npos;
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

// Decodes the reference at raw[i] == '&'; returns its length, 0 when it is none we know.
std::size_t decodeReference(std::string_view raw, std::size_t i, std::string& out)
{
    const std::size_t semi = raw.find(';', i);
    if (semi == std::string_view::npos || semi - i > 12)
        return 0;
    const std::string_view ref = raw.substr(i + 1, semi - i - 1);
    static const std::pair<std::string_view, char> named[] = {
        {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
    for (const auto& [n, c] : named) {
        if (ref == n) {
            out += c;
            return semi - i + 1;
        }
    }
    if (ref.size() < 2 || ref[0] != '#')
        return 0;
    const bool hex = ref[1] == 'x';
    const std::string digits(ref.substr(hex ? 2 : 1));
    if (digits.empty() || digits.size() > 8)
        return 0;
    char* end = nullptr;
    const unsigned long cp = std::strtoul(digits.c_str(), &end, hex ? 16 : 10);
    if (!end || *end != '\0')
        return 0;
    appendCodePoint(out, cp);
    return semi - i + 1;
}

} // namespace

std::string_view localNameOf(std::string_view qualified)
{
    const std::size_t colon = qualified.find(':');
    return colon == std::string_view::npos ? qualified : qualified.substr(colon + 1);
}

std::string_view XmlToken::localName() const
{
    return localNameOf(name);
}

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

std::string unescapeXml(std::string_view raw)
{
    std::string out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size();) {
        if (raw[i] == '&') {
            const std::size_t n = decodeReference(raw, i, out);
            if (n) {
                i += n;
                continue;
            }
        }
        out += raw[i++];
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
            fail(XlsxStatus::MalformedXml, detail_);
    }
    return true;
}

bool XmlTokenStream::next(XmlToken& token)
{
    for (;;) {
        switch (scan(token)) {
        case Scan::Token: return true;
        case Scan::End: return false;
        case Scan::NeedMore:
            if (!refill())
                fail(XlsxStatus::MalformedXml, detail_);
        }
    }
}

XmlTokenStream::Scan XmlTokenStream::scan(XmlToken& token)
{
    const std::string_view data(buffer_.constData(), std::size_t(buffer_.size()));
    if (pos_ >= data.size())
        return final_ ? Scan::End : Scan::NeedMore;
    if (data[pos_] != '<') {
        const std::size_t lt = data.find('<', pos_);
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
            return final_ ? (fail(XlsxStatus::MalformedXml, detail_), Scan::End) : Scan::NeedMore;
        token = XmlToken{TokenKind::Other, rest.substr(0, e + close.size()), {}, {}};
        pos_ += e + close.size();
        return Scan::Token;
    };
    if (rest.size() < 9 && !final_)
        return Scan::NeedMore;
    if (rest.substr(0, 4) == "<!--")
        return closedBy("<!--", "-->");
    if (rest.substr(0, 9) == "<![CDATA[")
        return closedBy("<![CDATA[", "]]>");
    if (rest.substr(0, 2) == "<?")
        return closedBy("<?", "?>");
    if (rest.substr(0, 2) == "<!")
        fail(XlsxStatus::EntityDeclaration, detail_);
    const std::size_t end = tagEnd(rest, 0);
    if (end == std::string_view::npos)
        return final_ ? (fail(XlsxStatus::MalformedXml, detail_), Scan::End) : Scan::NeedMore;
    const std::string_view raw = rest.substr(0, end);
    pos_ += end;
    if (raw.size() > 2 && raw[1] == '/') {
        token = XmlToken{TokenKind::EndTag, raw, trimmed(raw.substr(2, raw.size() - 3)), {}};
        return Scan::Token;
    }
    const bool empty = raw.size() > 2 && raw[raw.size() - 2] == '/';
    const std::string_view inner = raw.substr(1, raw.size() - (empty ? 3 : 2));
    std::size_t n = 0;
    while (n < inner.size() && !isSpace(inner[n]))
        ++n;
    if (n == 0)
        fail(XlsxStatus::MalformedXml, detail_);
    token = XmlToken{empty ? TokenKind::EmptyTag : TokenKind::StartTag, raw, inner.substr(0, n),
                     inner.substr(n)};
    return Scan::Token;
}

} // namespace bf::xlsx
