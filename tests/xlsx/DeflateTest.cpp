// A rewritten part is deflated whole while it fits the window and streamed once it outgrows it;
// either way, and whether finished at once or on a thread of its own, the zip entry inflates
// to exactly the bytes written, with their CRC, pieces deflated beforehand included.
#include "xlsx/Package.h"
#include "xlsx/PackageBuilder.h"
#include "xlsx/Packager.h"
#include "xlsx/PartReader.h"

#include <zlib.h>

#include <gtest/gtest.h>

using namespace bf::xlsx;

namespace {

QByteArray rawInflate(const QByteArray& in, qsizetype size)
{
    z_stream z{};
    inflateInit2(&z, -15);
    QByteArray out(size, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.constData()));
    z.avail_in = uInt(in.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    const int rc = inflate(&z, Z_FINISH);
    inflateEnd(&z);
    return rc == Z_STREAM_END ? out.left(qsizetype(z.total_out)) : QByteArray("(not a whole stream)");
}

} // namespace

TEST(XlsxDeflate, APartInflatesToItsBytesWhetherHeldWholeOrStreamed)
{
    QByteArray content;
    for (int row = 1; content.size() < 300000; ++row)
        content += "<row r=\"" + QByteArray::number(row) + "\"><c><v>" + QByteArray::number(row * 7919 % 10007) + "</v></c></row>";
    const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef*>(content.constData()), uInt(content.size())));
    // Held whole; streamed from the first piece on; switching to streaming half-way, where a
    // piece would overflow the window. Each finished here or on a thread of its own, and with
    // no piece, every third piece or every piece spliced in deflated beforehand.
    for (const std::uint64_t window : {std::uint64_t(1) << 30, std::uint64_t(10), std::uint64_t(150001)})
    for (const bool background : {false, true})
    for (const int splicedEvery : {0, 3, 1}) {
        PartDeflater deflater(window);
        for (qsizetype at = 0; at < content.size(); at += 4099) {
            const QByteArray piece = content.mid(at, 4099);
            const std::string_view bytes(piece.constData(), std::size_t(piece.size()));
            if (splicedEvery && at / 4099 % splicedEvery == 0)
                deflater.writeSegment(bytes, deflatedSegment(bytes));
            else
                deflater.write(piece);
        }
        if (background)
            deflater.finishInBackground();
        const QByteArray packed = deflater.finish();
        EXPECT_EQ(rawInflate(packed, content.size() + 1), content) << window << ' ' << splicedEvery;
        EXPECT_EQ(deflater.crc(), crc) << window << ' ' << splicedEvery;
        EXPECT_EQ(deflater.size(), std::uint64_t(content.size())) << window << ' ' << splicedEvery;
        EXPECT_LT(packed.size(), content.size() / 3) << window << ' ' << splicedEvery;
    }
}

// A streamed part read in pieces of any size comes whole: the inflater may still hold output
// when the last compressed byte is taken, at a point that depends on the part and the piece.
TEST(XlsxDeflate, AStreamedPartComesWholeInPiecesOfAnySize)
{
    for (int rows = 100; rows < 140; ++rows) {
        QByteArray content;
        for (int i = 0; i < rows; ++i)
            content += "<row r=\"" + QByteArray::number(i % 7) + "\"/>";
        content += QByteArray(rows * 7, 'x');
        const Package package(bf::test::xlsx::zipOf({{"part.xml", content}}), QStringLiteral("book.xlsx"));
        for (qsizetype max = 1; max < 300; ++max) {
            const std::unique_ptr<PartReader> reader = package.stream(*package.find(QStringLiteral("part.xml")));
            QByteArray all, piece;
            for (reader->read(piece, max); !piece.isEmpty(); reader->read(piece, max))
                all += piece;
            ASSERT_EQ(all, content) << rows << " rows, pieces of " << max;
        }
    }
}
