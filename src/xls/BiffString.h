#pragma once
// The string forms of the record data: decoding the three stored forms, and the one encoder
// the engine writes strings with.
#include <QString>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace bf::xls {

// Decodes a string stored as cch characters after a flags byte (bit 0: two bytes per
// character). Returns false when the bytes run out. `used` receives the bytes consumed after
// the flags byte.
bool decodeChars(const std::uint8_t* p, std::size_t avail, std::size_t cch, bool wide, QString* out, std::size_t* used);
// ShortXLUnicodeString: cch u8, flags u8, characters (sheet names).
bool decodeShortXLUnicodeString(const std::uint8_t* p, std::size_t avail, QString* out, std::size_t* used);
// XLUnicodeString: cch u16, flags u8, characters.
bool decodeXLUnicodeString(const std::uint8_t* p, std::size_t avail, QString* out, std::size_t* used);

// Appends s as an XLUnicodeString (withCount) or as its flags byte and characters only (the
// count stored elsewhere): one byte per character when every character fits, else two.
void appendUnicodeString(std::vector<std::uint8_t>& out, const QString& s, bool withCount);

} // namespace bf::xls
