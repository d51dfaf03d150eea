#pragma once
// The BIFF8 record stream: record ids, record framing with CONTINUE, and the string forms.
#include "xls/ByteIO.h"

#include <QString>
#include <cstdint>
#include <vector>

namespace bf::xls {

namespace rt {
constexpr std::uint16_t Formula = 0x0006;
constexpr std::uint16_t Eof = 0x000A;
constexpr std::uint16_t CalcCount = 0x000C;
constexpr std::uint16_t Note = 0x001C;
constexpr std::uint16_t ExternName = 0x0023;
constexpr std::uint16_t ExternSheet = 0x0017;
constexpr std::uint16_t Lbl = 0x0018;
constexpr std::uint16_t FilePass = 0x002F;
constexpr std::uint16_t Continue = 0x003C;
constexpr std::uint16_t Window1 = 0x003D;
constexpr std::uint16_t DConRef = 0x0051;
constexpr std::uint16_t DConName = 0x0052;
constexpr std::uint16_t XCT = 0x0059;
constexpr std::uint16_t CRN = 0x005A;
constexpr std::uint16_t Obj = 0x005D;
constexpr std::uint16_t WsBool = 0x0081;
constexpr std::uint16_t BoundSheet8 = 0x0085;
constexpr std::uint16_t MulRk = 0x00BD;
constexpr std::uint16_t MulBlank = 0x00BE;
constexpr std::uint16_t ObProj = 0x00D3;
constexpr std::uint16_t SXStreamID = 0x00D5;
constexpr std::uint16_t RString = 0x00D6;
constexpr std::uint16_t DBCell = 0x00D7;
constexpr std::uint16_t SXVS = 0x00E3;
constexpr std::uint16_t MsoDrawingGroup = 0x00EB;
constexpr std::uint16_t MsoDrawing = 0x00EC;
constexpr std::uint16_t Sst = 0x00FC;
constexpr std::uint16_t LabelSst = 0x00FD;
constexpr std::uint16_t ExtSst = 0x00FF;
constexpr std::uint16_t RRTabId = 0x013D;
constexpr std::uint16_t UserBView = 0x01A9;
constexpr std::uint16_t SupBook = 0x01AE;
constexpr std::uint16_t CF = 0x01B1;
constexpr std::uint16_t DConBin = 0x01B5;
constexpr std::uint16_t ObNoMacros = 0x01BD;
constexpr std::uint16_t DV = 0x01BE;
constexpr std::uint16_t Dimensions = 0x0200;
constexpr std::uint16_t Blank = 0x0201;
constexpr std::uint16_t Number = 0x0203;
constexpr std::uint16_t Label = 0x0204;
constexpr std::uint16_t BoolErr = 0x0205;
constexpr std::uint16_t String = 0x0207;
constexpr std::uint16_t Row = 0x0208;
constexpr std::uint16_t Index = 0x020B;
constexpr std::uint16_t Array = 0x0221;
constexpr std::uint16_t Window2 = 0x023E;
constexpr std::uint16_t RK = 0x027E;
constexpr std::uint16_t ShrFmla = 0x04BC;
constexpr std::uint16_t Bof = 0x0809;
constexpr std::uint16_t BRAI = 0x1051;
} // namespace rt

constexpr std::size_t kMaxRecordData = 8224;

// BOF substream kinds.
constexpr std::uint16_t kBofGlobals = 0x0005;
constexpr std::uint16_t kBofWorksheet = 0x0010;
constexpr std::uint16_t kBofChart = 0x0020;
constexpr std::uint16_t kBofMacro = 0x0040;

// A record located in a stream: position of its header, type and data size.
struct RecRef {
    std::uint32_t pos;
    std::uint16_t type;
    std::uint16_t size;
    std::uint32_t dataPos() const { return pos + 4; }
    std::uint32_t end() const { return pos + 4 + size; }
};

// Decodes a string stored as cch characters after a flags byte (bit 0: two bytes per
// character). Returns false when the bytes run out. `used` receives the bytes consumed after
// the flags byte.
bool decodeChars(const std::uint8_t* p, std::size_t avail, std::size_t cch, bool wide, QString* out, std::size_t* used);
// ShortXLUnicodeString: cch u8, flags u8, characters (sheet names).
bool decodeShortXLUnicodeString(const std::uint8_t* p, std::size_t avail, QString* out, std::size_t* used);
// XLUnicodeString: cch u16, flags u8, characters.
bool decodeXLUnicodeString(const std::uint8_t* p, std::size_t avail, QString* out, std::size_t* used);

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

} // namespace bf::xls
