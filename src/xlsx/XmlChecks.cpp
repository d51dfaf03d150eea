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

// Bytes of a name: 1 anywhere, 2 not first (digits, '.', '-'); 0x80 and above are checked as UTF-8.
constexpr std::array<std::uint8_t, 256> kNameBytes = [] {
    std::array<std::uint8_t, 256> t{};
    for (int c = 0; c < 256; ++c) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c >= 0x80)
            t[std::size_t(c)] = 1;
        else if ((c >= '0' && c <= '9') || c == '.' || c == '-')
            t[std::size_t(c)] = 2;
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
    return kNameBytes[c] == 1 || (!first && kNameBytes[c] == 2);
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
    bool wide = static_cast<unsigned char>(name[0]) >= 0x80;
    for (std::size_t i = 1; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (!kNameBytes[c])
            return XmlFault{i, "a name that is not an XML name"};
        wide = wide || c >= 0x80;
    }
    return wide ? charactersFault(name, CharContext::Raw, true) : std::nullopt;
}

std::optional<XmlFault> attributesFault(std::string_view attrs, bool utf8, std::vector<std::string_view>& seen)
{
    seen.clear();
    const std::size_t n = attrs.size();
    std::size_t i = 0;
    for (;;) {
        const std::size_t spaceFrom = i;
        while (i < n && isSpace(attrs[i]))
            ++i;
        if (i == n)
            return std::nullopt;
        if (i == spaceFrom)
            return XmlFault{i, "attributes not separated by white space"};
        // The name: plain ASCII needs no second look (this runs for every attribute of a sheet).
        const std::size_t nameFrom = i;
        bool plain = i < n && kNameBytes[static_cast<unsigned char>(attrs[i])] == 1
                     && static_cast<unsigned char>(attrs[i]) < 0x80;
        for (; i < n && kNameBytes[static_cast<unsigned char>(attrs[i])]; ++i)
            plain = plain && static_cast<unsigned char>(attrs[i]) < 0x80;
        const std::string_view name = attrs.substr(nameFrom, i - nameFrom);
        if (name.empty())
            return XmlFault{nameFrom, "an attribute without a name"};
        if (std::optional<XmlFault> f = plain ? std::nullopt : nameFault(name))
            return XmlFault{nameFrom + f->at, f->what};
        while (i < n && isSpace(attrs[i]))
            ++i;
        if (i == n || attrs[i] != '=')
            return XmlFault{i, "an attribute without a value"};
        ++i;
        while (i < n && isSpace(attrs[i]))
            ++i;
        if (i == n || (attrs[i] != '"' && attrs[i] != '\''))
            return XmlFault{i, "an attribute value without quotes"};
        const char quote = attrs[i++];
        const std::size_t valueFrom = i;
        while (i < n && kPlainBytes[static_cast<unsigned char>(attrs[i])] && attrs[i] != quote)
            ++i;
        if (i < n && attrs[i] != quote) { // something to look at: find the end, then check it all
            const std::size_t close = attrs.find(quote, i);
            if (close == attrs.npos)
                return XmlFault{valueFrom - 1, "an attribute value without its closing quote"};
            if (std::optional<XmlFault> f = charactersFault(attrs.substr(valueFrom, close - valueFrom), CharContext::Attribute, utf8))
                return XmlFault{valueFrom + f->at, f->what};
            i = close;
        }
        if (i == n)
            return XmlFault{valueFrom - 1, "an attribute value without its closing quote"};
        ++i;
        for (const std::string_view other : seen)
            if (other.size() == name.size() && other == name)
                return XmlFault{nameFrom, "an attribute given twice"};
        seen.push_back(name);
    }
}

} // namespace bf::xlsx
