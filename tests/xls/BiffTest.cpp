// Record framing and string decoding on hand-built bytes: shared strings split across
// CONTINUE records, the string table writer, the formula walker and the picture uses of a drawing.
#include "xls/Drawing.h"
#include "xls/RecordIds.h"
#include "xls/Sst.h"
#include "xls/Formula.h"

#include <gtest/gtest.h>

#include <QString>

using namespace bf::xls;

namespace {
std::vector<std::uint8_t> bytes(std::initializer_list<int> list)
{
    std::vector<std::uint8_t> v;
    for (int b : list)
        v.push_back(static_cast<std::uint8_t>(b));
    return v;
}

// Splits a record stream (as written by writeSst) into pieces of the SST logical record.
std::vector<Piece> sstPieces(const std::vector<std::uint8_t>& stream, std::size_t* extSstAt)
{
    std::vector<Piece> pieces;
    std::size_t pos = 0;
    while (pos + 4 <= stream.size()) {
        const std::uint16_t type = rd16(&stream[pos]);
        const std::uint16_t size = rd16(&stream[pos + 2]);
        EXPECT_LE(size, kMaxRecordData);
        if (type == rt::Sst || type == rt::Continue)
            pieces.push_back({&stream[pos + 4], size, static_cast<std::uint32_t>(pos + 4)});
        if (type == rt::ExtSst)
            *extSstAt = pos;
        pos += 4 + size;
    }
    EXPECT_EQ(pos, stream.size());
    return pieces;
}
} // namespace

TEST(SharedStrings, DecodesStringsSplitAcrossContinueWithWidthChanges)
{
    // cstTotal 3, cstUnique 3; string 1 "abc" fits; string 2 "de€f" starts 8-bit, continues
    // 16-bit after a flags byte; string 3 is rich text whose runs cross into the next piece.
    const auto first = bytes({3, 0, 0, 0, 3, 0, 0, 0,       //
                              3, 0, 0, 'a', 'b', 'c',       // "abc"
                              4, 0, 0, 'd', 'e'});          // "de" then split
    const auto second = bytes({1, 0xAC, 0x20, 'f', 0,       // flags: wide; "€f"
                               2, 0, 0x08, 1, 0, 'x', 'y',  // "xy", one run
                               1, 0});                      // first half of the run
    const auto third = bytes({5, 0});                       // rest of the run, no flags byte
    std::vector<Piece> pieces = {{first.data(), static_cast<std::uint32_t>(first.size()), 0},
                                 {second.data(), static_cast<std::uint32_t>(second.size()), 100},
                                 {third.data(), static_cast<std::uint32_t>(third.size()), 200}};
    SstReader reader;
    ASSERT_TRUE(reader.index(pieces));
    ASSERT_EQ(reader.count(), 3u);
    SstString s;
    ASSERT_TRUE(reader.read(0, &s));
    EXPECT_EQ(s.text(), QStringLiteral("abc"));
    ASSERT_TRUE(reader.read(1, &s));
    EXPECT_EQ(s.text(), QString::fromUtf8("de€f"));
    EXPECT_EQ(s.flags & 1, 1) << "a string stored partly 16-bit is widened as a whole";
    ASSERT_TRUE(reader.read(2, &s));
    EXPECT_EQ(s.text(), QStringLiteral("xy"));
    EXPECT_EQ(s.runs, bytes({1, 0, 5, 0}));
    EXPECT_FALSE(reader.read(3, &s));

    // A string whose characters run past the last piece is damage, not a crash.
    const auto cut = bytes({1, 0, 0, 0, 1, 0, 0, 0, 9, 0, 0, 'a', 'b'});
    SstReader damaged;
    EXPECT_FALSE(damaged.index({{cut.data(), static_cast<std::uint32_t>(cut.size()), 0}}));
    // A count larger than the strings present keeps the strings that are there.
    const auto shortTable = bytes({5, 0, 0, 0, 5, 0, 0, 0, 1, 0, 0, 'z'});
    SstReader lenient;
    ASSERT_TRUE(lenient.index({{shortTable.data(), static_cast<std::uint32_t>(shortTable.size()), 0}}));
    EXPECT_EQ(lenient.count(), 1u);
}

TEST(SharedStrings, WriterSplitsLongTablesReadablyAndIndexesBuckets)
{
    std::vector<SstString> strings;
    for (int i = 0; i < 3000; ++i) {
        SstString s;
        const QString text = (i % 7 == 0) ? QString(5000, QChar(0x0416 + i % 5)) : QStringLiteral("text %1").arg(i);
        const bool wide = i % 7 == 0;
        s.flags = wide ? 1 : 0;
        s.cch = static_cast<std::uint16_t>(text.size());
        for (QChar c : text) {
            s.chars.push_back(static_cast<std::uint8_t>(c.unicode()));
            if (wide)
                s.chars.push_back(static_cast<std::uint8_t>(c.unicode() >> 8));
        }
        if (i % 11 == 0) {
            s.flags |= 0x08;
            s.runs = bytes({0, 0, 1, 0, 2, 0, 3, 0});
        }
        strings.push_back(std::move(s));
    }
    ByteSink out;
    out.put(bytes({1, 2, 3}).data(), 3); // the table does not start at the stream's start
    writeSst(out, 1000, strings, 4242);
    std::vector<std::uint8_t> stream(out.bytes.begin() + 3, out.bytes.end());
    std::size_t extAt = SIZE_MAX;
    auto pieces = sstPieces(stream, &extAt);
    ASSERT_GT(pieces.size(), 10u);
    EXPECT_EQ(rd32(pieces[0].data), 4242u);
    SstReader reader;
    ASSERT_TRUE(reader.index(pieces));
    ASSERT_EQ(reader.count(), strings.size());
    for (std::size_t i = 0; i < strings.size(); i += 97) {
        SstString s;
        ASSERT_TRUE(reader.read(i, &s));
        EXPECT_EQ(s.text(), strings[i].text()) << i;
        const auto v = s.view();
        EXPECT_EQ(std::vector<std::uint8_t>(v.runs, v.runs + v.runsSize), strings[i].runs) << i;
        // Long strings cross records and come back decoded; short ones are read in place.
        EXPECT_EQ(s.raw == nullptr, strings[i].cch > 1000) << i;
    }
    // ExtSST: dsst = strings/128 + 1, and each bucket's position is the header of its first
    // string: stream position and offset inside its record, header included.
    ASSERT_NE(extAt, SIZE_MAX);
    const std::uint8_t* ext = &stream[extAt + 4];
    const std::size_t dsst = rd16(ext);
    EXPECT_EQ(dsst, 3000u / 128 + 1);
    const std::size_t buckets = (rd16(&stream[extAt + 2]) - 2) / 8;
    EXPECT_EQ(buckets, (3000 + dsst - 1) / dsst);
    for (std::size_t b = 0; b < buckets; ++b) {
        const std::uint32_t ib = rd32(ext + 2 + 8 * b) - 1000 - 3;
        const std::uint16_t cbOffset = rd16(ext + 6 + 8 * b);
        const std::size_t recordStart = ib - cbOffset;
        const std::uint16_t type = rd16(&stream[recordStart]);
        EXPECT_TRUE(type == rt::Sst || type == rt::Continue) << b;
        EXPECT_EQ(rd16(&stream[ib]), strings[b * dsst].cch) << b;
    }
}

TEST(FormulaWalk, StepsOverEveryTokenAndReportsNamesAndSheetReferences)
{
    // =CHOOSE(1, "é", Name#2, Sheet!A1, 'S1:S2'!A1:B2) with an AttrChoose jump table,
    // a wide PtgStr and a PtgMemFunc around part of it.
    auto rgce = bytes({0x1E, 1, 0,                    // PtgInt 1
                       0x19, 0x04, 2, 0, 0, 0, 0, 0, 0, 0, // AttrChoose, 2 cases
                       0x17, 1, 1, 0xE9, 0,           // PtgStr, wide
                       0x29, 7, 0,                    // PtgMemFunc (cce 7)
                       0x23, 2, 0, 0, 0,              // PtgName 2
                       0x5A, 3, 0, 0, 0, 0, 0,        // PtgRef3d value class, ixti 3
                       0x3B, 4, 0, 0, 0, 1, 0, 0, 0, 1, 0, // PtgArea3d ixti 4
                       0x39, 5, 0, 9, 0, 0, 0,        // PtgNameX ixti 5 name 9
                       0x3C, 6, 0, 0, 0, 0, 0,        // PtgRefErr3d
                       0x22, 3, 100, 0});             // PtgFuncVar CHOOSE
    std::vector<std::pair<TokenKind, int>> seen;
    ASSERT_TRUE(walkFormula(rgce.data(), rgce.size(), [&](TokenKind k, const std::uint8_t* t, bool err) {
        seen.push_back({k, k == TokenKind::Name ? int(rd32(t + 1)) : int(rd16(t + 1)) + (err ? 100 : 0)});
    }));
    const std::vector<std::pair<TokenKind, int>> expected = {{TokenKind::Name, 2},    {TokenKind::Ref3d, 3},
                                                             {TokenKind::Area3d, 4},  {TokenKind::NameX, 5},
                                                             {TokenKind::Ref3d, 106}};
    EXPECT_EQ(seen, expected);
    // Cut inside a token, or an unknown token: refused, never read past the end.
    EXPECT_FALSE(walkFormula(rgce.data(), 5, [](TokenKind, const std::uint8_t*, bool) {}));
    auto unknown = bytes({0x1E, 1, 0, 0x2F, 0});
    EXPECT_FALSE(walkFormula(unknown.data(), unknown.size(), [](TokenKind, const std::uint8_t*, bool) {}));
    auto hugeStr = bytes({0x17, 200, 0, 'a'});
    EXPECT_FALSE(walkFormula(hugeStr.data(), hugeStr.size(), [](TokenKind, const std::uint8_t*, bool) {}));
}

TEST(DrawingUse, PicturesAreCountedFromSimplePropertiesOnly)
{
    // A shape's FOPT: picture 2 (pib, fBid), then a complex shape name whose 6 bytes of data,
    // read as a property, would say picture 1.
    const auto fopt = bytes({0x23, 0x00, 0x0B, 0xF0, 18, 0, 0, 0, // 2 properties, version 3
                             0x04, 0x41, 2, 0, 0, 0,             // pib, fBid: picture 2
                             0x80, 0x83, 6, 0, 0, 0,             // shape name, complex: 6 bytes
                             0x04, 0x41, 1, 0, 0, 0});           // the name's data
    DrawingUse use;
    ASSERT_TRUE(collectDrawingUse(fopt.data(), fopt.size(), &use));
    EXPECT_EQ(use.blipRefs, (std::vector<std::uint32_t>{0, 0, 1}));
}
