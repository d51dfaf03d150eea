#pragma once
// Every record id, formula token id and sub-record id the engine reads or writes, by name.
#include "crypto/BiffRecords.h"

#include <cstddef>
#include <cstdint>

namespace bf::xls {

// Records of the workbook stream.
namespace rt {
constexpr std::uint16_t BofBiff2 = 0x0009; // the BOF ids of Excel 2.x-4.0 files
constexpr std::uint16_t BofBiff3 = 0x0209;
constexpr std::uint16_t BofBiff4 = 0x0409;
constexpr std::uint16_t Formula = 0x0006;
constexpr std::uint16_t Eof = biff::kEof;
constexpr std::uint16_t CalcCount = 0x000C;
constexpr std::uint16_t Note = 0x001C;
constexpr std::uint16_t Selection = 0x001D;
constexpr std::uint16_t ExternSheet = 0x0017;
constexpr std::uint16_t Lbl = 0x0018;
constexpr std::uint16_t ExternName = 0x0023;
constexpr std::uint16_t FilePass = biff::kFilepass;
constexpr std::uint16_t Continue = 0x003C;
constexpr std::uint16_t Window1 = 0x003D;
constexpr std::uint16_t Pane = 0x0041;
constexpr std::uint16_t DConRef = 0x0051;
constexpr std::uint16_t DConName = 0x0052;
constexpr std::uint16_t XCT = 0x0059;
constexpr std::uint16_t CRN = 0x005A;
constexpr std::uint16_t Obj = 0x005D;
constexpr std::uint16_t WsBool = 0x0081;
constexpr std::uint16_t BoundSheet8 = biff::kBoundSheet;
constexpr std::uint16_t WriteProtect = 0x0086;
constexpr std::uint16_t Scl = 0x00A0;
constexpr std::uint16_t SxView = 0x00B0;
constexpr std::uint16_t Sxvd = 0x00B1;
constexpr std::uint16_t SXVI = 0x00B2;
constexpr std::uint16_t SXIvd = 0x00B4;
constexpr std::uint16_t SXLI = 0x00B5;
constexpr std::uint16_t SXPI = 0x00B6;
constexpr std::uint16_t MulRk = 0x00BD;
constexpr std::uint16_t MulBlank = 0x00BE;
constexpr std::uint16_t SXDI = 0x00C5;
constexpr std::uint16_t SXTbl = 0x00D0;
constexpr std::uint16_t SXTBRGIITM = 0x00D1;
constexpr std::uint16_t SxTbpg = 0x00D2;
constexpr std::uint16_t ObProj = 0x00D3;
constexpr std::uint16_t SXStreamID = 0x00D5;
constexpr std::uint16_t DbQuery = 0x00DC;
constexpr std::uint16_t RString = 0x00D6;
constexpr std::uint16_t DBCell = 0x00D7;
constexpr std::uint16_t SXVS = 0x00E3;
constexpr std::uint16_t MsoDrawingGroup = 0x00EB;
constexpr std::uint16_t MsoDrawing = 0x00EC;
constexpr std::uint16_t SxRule = 0x00F0;
constexpr std::uint16_t SxEx = 0x00F1;
constexpr std::uint16_t SxFilt = 0x00F2;
constexpr std::uint16_t SxDXF = 0x00F4;
constexpr std::uint16_t SxName = 0x00F6;
constexpr std::uint16_t SxSelect = 0x00F7;
constexpr std::uint16_t SXPair = 0x00F8;
constexpr std::uint16_t SxFmla = 0x00F9;
constexpr std::uint16_t SxFormat = 0x00FB;
constexpr std::uint16_t Sst = 0x00FC;
constexpr std::uint16_t LabelSst = 0x00FD;
constexpr std::uint16_t ExtSst = biff::kExtSst;
constexpr std::uint16_t SXVDEx = 0x0100;
constexpr std::uint16_t SXFormula = 0x0103;
constexpr std::uint16_t SXDBEx = 0x0122;
constexpr std::uint16_t RRTabId = 0x013D;
constexpr std::uint16_t UserBView = 0x01A9;
constexpr std::uint16_t SupBook = 0x01AE;
constexpr std::uint16_t CF = 0x01B1;
constexpr std::uint16_t DConBin = 0x01B5;
constexpr std::uint16_t ObNoMacros = 0x01BD;
constexpr std::uint16_t DVal = 0x01B2;
constexpr std::uint16_t DV = 0x01BE;
constexpr std::uint16_t Dimensions = 0x0200;
constexpr std::uint16_t Blank = 0x0201;
constexpr std::uint16_t Number = 0x0203;
constexpr std::uint16_t Label = 0x0204;
constexpr std::uint16_t BoolErr = 0x0205;
constexpr std::uint16_t String = 0x0207;
constexpr std::uint16_t Row = 0x0208;
constexpr std::uint16_t Index = biff::kIndex;
constexpr std::uint16_t Array = 0x0221;
constexpr std::uint16_t Table = 0x0236;
constexpr std::uint16_t Window2 = 0x023E;
constexpr std::uint16_t RK = 0x027E;
constexpr std::uint16_t ShrFmla = 0x04BC;
constexpr std::uint16_t QsiSXTag = 0x0802;
constexpr std::uint16_t Bof = biff::kBof;
constexpr std::uint16_t SXViewEx = 0x080C;
constexpr std::uint16_t SXTH = 0x080D;
constexpr std::uint16_t SXPIEx = 0x080E;
constexpr std::uint16_t SXVDTEx = 0x080F;
constexpr std::uint16_t SXViewEx9 = 0x0810;
constexpr std::uint16_t SXAddl = 0x0864;
constexpr std::uint16_t HFPicture = 0x0866;
constexpr std::uint16_t PLV = 0x088B;
constexpr std::uint16_t ChartSeries = 0x1003; // Series
constexpr std::uint16_t ChartText = 0x1025;   // Text
constexpr std::uint16_t BRAI = 0x1051;
} // namespace rt

// Formula tokens (the base id; the class bits 0x20/0x40 select reference, value or array).
namespace ptg {
constexpr std::uint8_t Exp = 0x01;
constexpr std::uint8_t Tbl = 0x02;
constexpr std::uint8_t FirstOperator = 0x03; // operators, PtgParen and PtgMissArg up to LastOperator
constexpr std::uint8_t Paren = 0x15;
constexpr std::uint8_t LastOperator = 0x16;
constexpr std::uint8_t Str = 0x17;
constexpr std::uint8_t Extended = 0x18; // PtgElf*, PtgSxName
constexpr std::uint8_t Attr = 0x19;
constexpr std::uint8_t Err = 0x1C;
constexpr std::uint8_t Bool = 0x1D;
constexpr std::uint8_t Int = 0x1E;
constexpr std::uint8_t Num = 0x1F;
constexpr std::uint8_t FirstClassed = 0x20; // tokens from here carry class bits
constexpr std::uint8_t Array = 0x20;
constexpr std::uint8_t Func = 0x21;
constexpr std::uint8_t FuncVar = 0x22;
constexpr std::uint8_t Name = 0x23;
constexpr std::uint8_t Ref = 0x24;
constexpr std::uint8_t Area = 0x25;
constexpr std::uint8_t MemArea = 0x26;
constexpr std::uint8_t MemErr = 0x27;
constexpr std::uint8_t MemNoMem = 0x28;
constexpr std::uint8_t MemFunc = 0x29;
constexpr std::uint8_t RefErr = 0x2A;
constexpr std::uint8_t AreaErr = 0x2B;
constexpr std::uint8_t RefN = 0x2C;
constexpr std::uint8_t AreaN = 0x2D;
constexpr std::uint8_t NameX = 0x39;
constexpr std::uint8_t Ref3d = 0x3A;
constexpr std::uint8_t Area3d = 0x3B;
constexpr std::uint8_t RefErr3d = 0x3C;
constexpr std::uint8_t AreaErr3d = 0x3D;
// The base id of a classed token.
constexpr std::uint8_t base(std::uint8_t id) { return static_cast<std::uint8_t>(FirstClassed | (id & 0x1F)); }
} // namespace ptg

// Sub-records of an Obj record, and the Cmo object type of a picture or OLE object.
namespace ft {
enum : std::uint16_t { End = 0x0000, Macro = 0x0004, PictFmla = 0x0009, SbsFmla = 0x000E, LbsData = 0x0013, CblsFmla = 0x0014, Cmo = 0x0015 };
constexpr std::uint16_t ObjPicture = 0x0008;
} // namespace ft

// OfficeArt records inside the drawing data.
namespace art {
enum : std::uint16_t {
    DggContainer = 0xF000, BStoreContainer = 0xF001, SpContainer = 0xF004, Fdgg = 0xF006, Fbse = 0xF007, Fdg = 0xF008,
    Fopt = 0xF00B, SecondaryFopt = 0xF121, TertiaryFopt = 0xF122
};
} // namespace art

// The most data one record holds; more goes on in CONTINUE records.
constexpr std::size_t kMaxRecordData = 8224;

// BOF versions and substream kinds.
constexpr std::uint16_t kBiff8 = 0x0600;
constexpr std::uint16_t kBiff5 = 0x0500;
constexpr std::uint16_t kBofGlobals = 0x0005;
constexpr std::uint16_t kBofWorksheet = 0x0010;
constexpr std::uint16_t kBofChart = 0x0020;
constexpr std::uint16_t kBofMacro = 0x0040;

} // namespace bf::xls
