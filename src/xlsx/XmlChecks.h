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

// utf8: whether bytes at or above 0x80 are UTF-8 (false for a part declaring a one-byte encoding).
std::optional<XmlFault> charactersFault(std::string_view s, CharContext context, bool utf8);
std::optional<XmlFault> nameFault(std::string_view name);
// The attribute text of a start tag (after its name). `seen` is scratch space for the names.
std::optional<XmlFault> attributesFault(std::string_view attrs, bool utf8, std::vector<std::string_view>& seen);

// The reference starting at s[i] == '&': its length (0 when it is not a sound reference) and
// the code point it stands for.
std::size_t readReference(std::string_view s, std::size_t i, char32_t& cp);

} // namespace bf::xlsx
