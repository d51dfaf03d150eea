#pragma once
// The shared string table (SST and its ExtSST): reading the strings a sheet uses, and writing
// the new workbook's table with only those.
#include "xls/ByteIO.h"
#include "xls/Records.h"

#include <QString>
#include <cstdint>
#include <vector>

namespace bf::xls {

// A logical record made of a record and the CONTINUE records after it; the pieces stay apart
// because strings that cross a piece boundary restart with a flags byte.
struct Piece {
    const std::uint8_t* data;
    std::uint32_t size;
    std::uint32_t dataPos; // stream position of the piece's data
};

// One shared string in a canonical, contiguous form: characters are 16-bit when any part of
// them was stored 16-bit, so the string can be re-chunked freely.
// A string stored whole inside one record is not copied: raw points at its bytes in the
// stream (header included).
struct SstString {
    std::uint8_t flags = 0; // 0x01 wide, 0x04 phonetic block, 0x08 rich-text runs
    std::uint16_t cch = 0;
    std::vector<std::uint8_t> chars;
    std::vector<std::uint8_t> runs; // 4 bytes per run
    std::vector<std::uint8_t> ext;  // phonetic block
    const std::uint8_t* raw = nullptr;
    std::size_t rawSize = 0;

    struct View {
        const std::uint8_t* chars;
        std::size_t charsSize;
        const std::uint8_t* runs;
        std::size_t runsSize;
        const std::uint8_t* ext;
        std::size_t extSize;
    };
    View view() const;
    QString text() const;
};

// Walks the strings of an SST logical record. Locations are remembered so that only the
// strings a sheet uses need decoding. A table shorter than its count is accepted with the
// strings present (other readers do the same); a string running past the end is damage.
class SstReader {
public:
    // pieces[0] is the SST record data (cstTotal, cstUnique, strings). False on damage.
    bool index(const std::vector<Piece>& pieces);
    std::size_t count() const { return starts_.size(); }
    // Decodes string i; false on damage.
    bool read(std::size_t i, SstString* out) const;

private:
    struct Loc {
        std::uint32_t piece;
        std::uint32_t offset;
    };
    bool parse(Loc& at, SstString* out) const;
    std::vector<Piece> pieces_;
    std::vector<Loc> starts_;
};

// Writes an SST (+ CONTINUE) and its ExtSST into out: strings are split across records the
// way readers expect (header and first character together, a flags byte when characters
// continue, runs whole). streamBase is the stream position of out's first byte.
void writeSst(ByteSink& out, std::uint32_t streamBase, const std::vector<SstString>& strings, std::uint32_t cstTotal);

// The string table of a workbook's globals (the SST record and its CONTINUE records), indexed
// by the first extraction that needs it and kept for the next ones: indexing a large table
// costs more than extracting a sheet.
class SharedStringIndex {
public:
    // data: the stream's bytes, the globals loaded. Null when there is no table or it is damaged.
    const SstReader* get(const std::vector<RecRef>& globals, const std::uint8_t* data);

private:
    bool indexed_ = false;
    bool ok_ = false;
    SstReader reader_;
};

} // namespace bf::xls
