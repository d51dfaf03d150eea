#pragma once
// The rules each token of a part must meet to be well-formed XML: its characters (UTF-8, no
// control characters), its references (the five named entities and character references), its
// names and its attribute list. A fault is returned with its offset in the checked bytes and a
// short description; the scanner turns it into a refusal naming the part and the position.
#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace bf::xlsx {

struct XmlFault {
    std::size_t at = 0;
    const char* what = "";
};

// Where the characters may stand: text (references, no "]]>"), an attribute value (references,
// no '<'), or the inside of a comment, CDATA section or processing instruction (characters only).
enum class CharContext { Text, Attribute, Raw };

// Two names compared byte by byte, inline: names are short, and a call to the library's
// comparison costs more than the comparison.
inline bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i])
            return false;
    return true;
}

// The length of the run of bytes at s[from] that need no check in character data (printable
// ASCII and white space, but '&', '<' and ']').
std::size_t plainRun(std::string_view s, std::size_t from);

// utf8: whether bytes at or above 0x80 are UTF-8 (false for a part declaring a one-byte encoding).
std::optional<XmlFault> charactersFault(std::string_view s, CharContext context, bool utf8);
std::optional<XmlFault> nameFault(std::string_view name);
// An attribute of a tag: its qualified name and its value as written, without quotes.
struct XmlAttribute {
    std::string_view name, value;
};
// A tag read and checked in one pass over `data`, which starts with its '<'. end is 0 when the
// data ends before the tag does (and no fault is found before that). `attributes` receives the
// tag's attributes, in order.
struct TagScan {
    std::size_t end = 0;      // past the '>'
    std::size_t nameEnd = 0;  // the name is data[1 or 2, nameEnd)
    std::size_t attrsEnd = 0; // the attribute text is data[nameEnd, attrsEnd)
    bool endTag = false, empty = false;
    std::optional<XmlFault> fault;
};
TagScan scanTag(std::string_view data, bool utf8, std::vector<XmlAttribute>& attributes);

// The reference starting at s[i] == '&': its length (0 when it is not a sound reference) and
// the code point it stands for.
std::size_t readReference(std::string_view s, std::size_t i, char32_t& cp);

} // namespace bf::xlsx
