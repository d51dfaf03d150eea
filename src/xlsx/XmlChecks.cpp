#include "xlsx/XmlChecks.h"

#include <array>
#include <cstdint>

namespace bf::xlsx {

namespace {

bool isXmlChar(char32_t cp)
{
    return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF)
        || (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Bytes that need no second look in character data: printable ASCII and the three white-space
// controls, but '&', '<' and ']'.
constexpr std::array<bool, 256> kPlainBytes = [] {
    std::array<bool, 256> t{};
    for (int c = 0x20; c < 0x80; ++c)
        t[std::size_t(c)] = c != '&' && c != '<' && c != ']';
    t['\t'] = t['\n'] = t['\r'] = true;
    return t;
}();

// Bytes of a name: 1 an ASCII byte that may start one, 2 one that may follow, 4 a byte of a
// wider character (checked as UTF-8).
constexpr std::array<std::uint8_t, 256> kNameBytes = [] {
    std::array<std::uint8_t, 256> t{};
    for (int c = 0; c < 256; ++c) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':')
            t[std::size_t(c)] = 1;
        else if ((c >= '0' && c <= '9') || c == '.' || c == '-')
            t[std::size_t(c)] = 2;
        else if (c >= 0x80)
            t[std::size_t(c)] = 4;
    }
    return t;
}();

// The UTF-8 sequence at s[i] (a lead byte of 0x80 or above): its length, 0 when it is not
// UTF-8 (overlong forms and surrogates included).
std::size_t utf8Sequence(std::string_view s, std::size_t i, char32_t& cp)
{
    const auto byte = [&](std::size_t k) { return i + k < s.size() ? static_cast<unsigned char>(s[i + k]) : 0u; };
    const unsigned b0 = byte(0);
    std::size_t len = 0;
    unsigned low = 0x80, high = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2, cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3, cp = b0 & 0x0F;
        low = b0 == 0xE0 ? 0xA0 : 0x80;
        high = b0 == 0xED ? 0x9F : 0xBF;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4, cp = b0 & 0x07;
        low = b0 == 0xF0 ? 0x90 : 0x80;
        high = b0 == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    for (std::size_t k = 1; k < len; ++k) {
        const unsigned b = byte(k);
        if (b < (k == 1 ? low : 0x80u) || b > (k == 1 ? high : 0xBFu))
            return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    return len;
}

// A character at s[i] of 0x80 or above: its length, or a fault.
std::size_t wideCharacter(std::string_view s, std::size_t i, bool utf8, std::optional<XmlFault>& fault)
{
    if (!utf8)
        return 1;
    char32_t cp = 0;
    const std::size_t len = utf8Sequence(s, i, cp);
    if (len == 0)
        fault = XmlFault{i, "bytes that are not UTF-8"};
    else if (!isXmlChar(cp))
        fault = XmlFault{i, "a character XML does not allow"};
    return len;
}

bool isNameByte(unsigned char c, bool first)
{
    return first ? kNameBytes[c] != 2 && kNameBytes[c] != 0 : kNameBytes[c] != 0;
}

int digitValue(char c, bool hex)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (hex && c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (hex && c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::size_t plainRun(std::string_view s, std::size_t from)
{
    std::size_t i = from;
    while (i < s.size() && kPlainBytes[static_cast<unsigned char>(s[i])])
        ++i;
    return i - from;
}

std::size_t readReference(std::string_view s, std::size_t i, char32_t& cp)
{
    if (i + 1 >= s.size())
        return 0;
    if (s[i + 1] != '#') {
        static const std::pair<std::string_view, char> named[] = {
            {"lt;", '<'}, {"gt;", '>'}, {"amp;", '&'}, {"quot;", '"'}, {"apos;", '\''}};
        for (const auto& [n, c] : named) {
            if (s.substr(i + 1, n.size()) == n) {
                cp = char32_t(c);
                return n.size() + 1;
            }
        }
        return 0;
    }
    std::size_t j = i + 2;
    const bool hex = j < s.size() && s[j] == 'x';
    j += hex;
    const std::size_t digits = j;
    char32_t value = 0;
    for (int d; j < s.size() && (d = digitValue(s[j], hex)) >= 0; ++j)
        value = value > 0x10FFFF ? value : value * (hex ? 16 : 10) + char32_t(d);
    if (j == digits || j >= s.size() || s[j] != ';' || !isXmlChar(value))
        return 0;
    cp = value;
    return j + 1 - i;
}

std::optional<XmlFault> charactersFault(std::string_view s, CharContext context, bool utf8)
{
    std::optional<XmlFault> fault;
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (kPlainBytes[c]) {
            ++i;
        } else if (c >= 0x80) {
            i += wideCharacter(s, i, utf8, fault);
            if (fault)
                return fault;
        } else if (c == '&' && context != CharContext::Raw) {
            char32_t cp = 0;
            const std::size_t len = readReference(s, i, cp);
            if (len == 0)
                return XmlFault{i, s.substr(i, 2) == "&#" ? "a character reference that is not sound"
                                                           : "an entity that is not declared"};
            i += len;
        } else if (c == '&' || c == ']') {
            if (c == ']' && context == CharContext::Text && s.substr(i, 3) == "]]>")
                return XmlFault{i, "\"]]>\" in text"};
            ++i;
        } else if (c == '<') {
            if (context != CharContext::Raw)
                return XmlFault{i, "'<' in an attribute value"};
            ++i;
        } else {
            return XmlFault{i, "a control character"};
        }
    }
    return std::nullopt;
}

std::optional<XmlFault> nameFault(std::string_view name)
{
    if (name.empty() || !isNameByte(static_cast<unsigned char>(name[0]), true))
        return XmlFault{0, "a name that is not an XML name"};
    bool wide = false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const std::uint8_t kind = kNameBytes[static_cast<unsigned char>(name[i])];
        if (!kind)
            return XmlFault{i, "a name that is not an XML name"};
        wide = wide || kind == 4;
    }
    return wide ? charactersFault(name, CharContext::Raw, true) : std::nullopt;
}

namespace {

// What reading a piece of a tag found: the piece is sound (Done), the data ends inside it
// (More), or it is damaged (Fault, in the scan's fault).
enum class Step { Done, More, Fault };

Step faulted(TagScan& scan, std::size_t at, const char* what)
{
    scan.fault = XmlFault{at, what};
    return Step::Fault;
}

// The name at d[i]: i moves past it.
Step readName(std::string_view d, std::size_t& i, TagScan& scan)
{
    const std::size_t from = i;
    while (i < d.size() && (kNameBytes[static_cast<unsigned char>(d[i])] & 3))
        ++i;
    const bool wide = i < d.size() && kNameBytes[static_cast<unsigned char>(d[i])] == 4;
    while (wide && i < d.size() && kNameBytes[static_cast<unsigned char>(d[i])])
        ++i;
    if (i == d.size())
        return Step::More;
    if (i == from || !isNameByte(static_cast<unsigned char>(d[from]), true))
        return faulted(scan, from, "a name that is not an XML name");
    if (std::optional<XmlFault> f = wide ? nameFault(d.substr(from, i - from)) : std::nullopt)
        return faulted(scan, from + f->at, f->what);
    return Step::Done;
}

void skipSpace(std::string_view d, std::size_t& i)
{
    while (i < d.size() && isSpace(d[i]))
        ++i;
}

// One attribute at d[i] (its name's first byte): i moves past its closing quote.
Step readAttribute(std::string_view d, std::size_t& i, bool utf8, std::vector<XmlAttribute>& seen, TagScan& scan)
{
    const std::size_t nameFrom = i;
    if (const Step s = readName(d, i, scan); s != Step::Done)
        return s;
    const std::string_view name = d.substr(nameFrom, i - nameFrom);
    skipSpace(d, i);
    if (i == d.size())
        return Step::More;
    if (d[i] != '=')
        return faulted(scan, i, "an attribute without a value");
    skipSpace(d, ++i);
    if (i == d.size())
        return Step::More;
    if (d[i] != '"' && d[i] != '\'')
        return faulted(scan, i, "an attribute value without quotes");
    const char quote = d[i];
    const std::size_t valueFrom = i + 1;
    // Plain bytes up to the closing quote need no second look; anything else is checked with
    // the whole value.
    for (i = valueFrom; i < d.size() && d[i] != quote && kPlainBytes[static_cast<unsigned char>(d[i])];)
        ++i;
    if (i == d.size() || d[i] != quote) {
        const std::size_t close = d.find(quote, i);
        if (close == d.npos)
            return Step::More;
        if (std::optional<XmlFault> f = charactersFault(d.substr(valueFrom, close - valueFrom), CharContext::Attribute, utf8))
            return faulted(scan, valueFrom + f->at, f->what);
        i = close;
    }
    const std::string_view value = d.substr(valueFrom, i - valueFrom);
    ++i;
    for (const XmlAttribute& other : seen)
        if (sameName(other.name, name))
            return faulted(scan, nameFrom, "an attribute given twice");
    seen.push_back({name, value});
    return Step::Done;
}

} // namespace

TagScan scanTag(std::string_view d, bool utf8, std::vector<XmlAttribute>& seen)
{
    TagScan scan;
    scan.endTag = d.size() > 1 && d[1] == '/';
    std::size_t i = scan.endTag ? 2 : 1;
    if (readName(d, i, scan) != Step::Done)
        return scan;
    scan.nameEnd = i;
    seen.clear();
    for (;;) {
        const std::size_t spaceFrom = i;
        skipSpace(d, i);
        if (i == d.size())
            return scan;
        if (d[i] == '>' || (d[i] == '/' && !scan.endTag)) {
            scan.attrsEnd = i;
            scan.empty = d[i] == '/';
            if (scan.empty && i + 1 < d.size() && d[i + 1] != '>')
                faulted(scan, i, "a '/' that does not close the tag");
            else if (!scan.empty || i + 1 < d.size())
                scan.end = i + 1 + scan.empty;
            return scan;
        }
        // Every exit returns the one named result, so that it is built in place: a copy of it
        // read back right after its fields were stored costs more than the whole tag.
        if (scan.endTag) {
            faulted(scan, i, "an end tag with more than a name");
            return scan;
        }
        if (i == spaceFrom) {
            faulted(scan, i, i == scan.nameEnd ? "a name that is not an XML name" : "attributes not separated by white space");
            return scan;
        }
        if (readAttribute(d, i, utf8, seen, scan) != Step::Done)
            return scan;
    }
}

} // namespace bf::xlsx
