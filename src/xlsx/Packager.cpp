#include "xlsx/Packager.h"

#include "xlsx/XlsxStatus.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <unistd.h>

namespace bf::xlsx {

namespace {

constexpr std::uint16_t kDeflated = 8;
constexpr std::uint16_t kUtf8Names = 1u << 11;
constexpr std::uint16_t kVersion = 20;
constexpr std::uint16_t kDosDate = (0 << 9) | (1 << 5) | 1; // 1980-01-01: outputs are reproducible
constexpr std::uint64_t kMax32 = std::numeric_limits<std::uint32_t>::max();

void put16(QByteArray& out, std::uint16_t v)
{
    out.append(char(v & 0xFF)).append(char(v >> 8));
}

void put32(QByteArray& out, std::uint32_t v)
{
    put16(out, std::uint16_t(v & 0xFFFF));
    put16(out, std::uint16_t(v >> 16));
}

// Bytes gathered before they go to a file.
constexpr qsizetype kFlushBytes = 1 << 20;

[[noreturn]] void failWriting(int code)
{
    fail(XlsxStatus::OutputFailed, QStringLiteral("the new package (") + QString::fromLocal8Bit(std::strerror(code)) + ')');
}

bool isAscii(const QByteArray& s)
{
    for (const char c : s)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

QByteArray deflateWhole(const std::string& data)
{
    libdeflate_compressor* c = libdeflate_alloc_compressor(kDeflateLevel);
    if (!c)
        throw std::bad_alloc();
    QByteArray out(qsizetype(libdeflate_deflate_compress_bound(c, data.size())), Qt::Uninitialized);
    const std::size_t n = libdeflate_deflate_compress(c, data.data(), data.size(), out.data(),
                                                      std::size_t(out.size()));
    libdeflate_free_compressor(c);
    out.resize(qsizetype(n));
    return out;
}

} // namespace

std::string deflatedSegment(std::string_view raw)
{
    z_stream z{};
    if (deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::bad_alloc();
    std::string out(deflateBound(&z, uLong(raw.size())) + 16, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(raw.data()));
    z.avail_in = uInt(raw.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    // A full flush ends the blocks on a byte boundary without a final one.
    const int rc = deflate(&z, Z_FULL_FLUSH);
    out.resize(out.size() - z.avail_out);
    deflateEnd(&z);
    if (rc != Z_OK || z.avail_in != 0 || z.avail_out == 0) // all taken in, and all given out
        throw std::bad_alloc();
    return out;
}

PartDeflater::PartDeflater(std::uint64_t window) : window_(window) {}

PartDeflater::~PartDeflater()
{
    if (background_.valid())
        background_.wait(); // it may still use the stream below
    if (z_)
        deflateEnd(z_.get());
}

void PartDeflater::reserve(std::uint64_t bytes)
{
    pending_.reserve(std::size_t(std::min(bytes, window_)));
}

void PartDeflater::write(std::string_view bytes)
{
    if (bytes.empty())
        return;
    crc_ = std::uint32_t(libdeflate_crc32(crc_, bytes.data(), bytes.size()));
    size_ += bytes.size();
    // Streaming starts before the window would overflow: growing past it would copy the
    // window into a buffer twice its size.
    if (!z_ && pending_.size() + bytes.size() > window_)
        startStreaming(4); // the fastest level that keeps the large benchmark sheet within 10% of its source (7%)
    if (z_)
        deflateChunk(bytes.data(), bytes.size(), Z_NO_FLUSH);
    else
        pending_.append(bytes);
}

void PartDeflater::writeSegment(std::string_view raw, std::string_view segment)
{
    crc_ = std::uint32_t(libdeflate_crc32(crc_, raw.data(), raw.size()));
    size_ += raw.size();
    // A part made mostly of spliced runs, such as a string table with most items emptied:
    // what lies between them is little, and the fastest level is enough for it.
    if (!z_)
        startStreaming(1);
    // A full flush ends the blocks so far on a byte boundary, and what follows reads nothing
    // before it, so the segment fits between.
    deflateChunk(nullptr, 0, Z_FULL_FLUSH);
    compressed_.append(segment.data(), qsizetype(segment.size()));
}

void PartDeflater::startStreaming(int level)
{
    z_ = std::make_unique<z_stream_s>();
    // Raw deflate (negative window bits): the zip entry holds no zlib header.
    if (deflateInit2(z_.get(), level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        z_.reset();
        throw std::bad_alloc();
    }
    deflateChunk(pending_.data(), pending_.size(), Z_NO_FLUSH);
    std::string().swap(pending_);
}

void PartDeflater::deflateChunk(const char* data, std::size_t n, int flush)
{
    z_->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    z_->avail_in = uInt(n);
    char buffer[1 << 16];
    int rc = Z_OK;
    do {
        z_->next_out = reinterpret_cast<Bytef*>(buffer);
        z_->avail_out = sizeof buffer;
        rc = deflate(z_.get(), flush);
        compressed_.append(buffer, qsizetype(sizeof buffer - z_->avail_out));
    } while (z_->avail_out == 0 || (flush == Z_FINISH && rc != Z_STREAM_END));
}

void PartDeflater::finishInBackground()
{
    background_ = std::async(std::launch::async, [this] { return finishNow(); });
}

QByteArray PartDeflater::finish()
{
    return background_.valid() ? background_.get() : finishNow();
}

QByteArray PartDeflater::finishNow()
{
    if (z_) {
        deflateChunk(nullptr, 0, Z_FINISH);
        return std::move(compressed_);
    }
    return deflateWhole(pending_);
}

void ZipWriter::add(const QString& name, std::uint16_t method, std::uint32_t crc,
                    std::uint64_t size, const QByteArray& data, std::uint64_t compressedSize)
{
    if (size > kMax32 || compressedSize > kMax32 || written_.size() >= 0xFFFF)
        fail(XlsxStatus::PartTooLarge, name);
    written_.push_back({name.toUtf8(), data, nullptr, nullptr, method, crc, compressedSize, size});
}

// The bytes held so far go to the file (none when writing to memory).
void ZipWriter::flush()
{
    if (to_ < 0)
        return;
    for (qsizetype done = 0; done < out_.size();) {
        const ssize_t n = ::write(to_, out_.constData() + done, std::size_t(out_.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            failWriting(n < 0 ? errno : ENOSPC);
        done += n;
    }
    flushed_ += std::uint64_t(out_.size());
    out_.clear();
}

void ZipWriter::writeLocal(Written& w)
{
    w.offset = flushed_ + std::uint64_t(out_.size());
    if (w.offset > kMax32)
        fail(XlsxStatus::PartTooLarge, QStringLiteral("the new package"));
    put32(out_, 0x04034b50);
    put16(out_, kVersion);
    put16(out_, isAscii(w.name) ? 0 : kUtf8Names);
    put16(out_, w.method);
    put16(out_, 0);
    put16(out_, kDosDate);
    put32(out_, w.crc);
    put32(out_, std::uint32_t(w.compressedSize));
    put32(out_, std::uint32_t(w.size));
    put16(out_, std::uint16_t(w.name.size()));
    put16(out_, 0);
    out_.append(w.name);
    if (w.source && to_ < 0) {
        w.source->appendCompressed(*w.entry, out_);
    } else if (w.source) {
        flush();
        if (!w.source->copyCompressed(*w.entry, to_))
            failWriting(errno);
        flushed_ += w.compressedSize;
    } else {
        out_.append(w.data);
    }
    w.data = QByteArray();
    if (out_.size() >= kFlushBytes)
        flush();
}

void ZipWriter::addCopied(const QString& name, const PartEntry& entry, const Package& source)
{
    source.requireSound(entry);
    add(name, entry.method, entry.crc, entry.size, QByteArray(), entry.compressedSize);
    written_.back().source = &source;
    written_.back().entry = &entry;
}

void ZipWriter::addDeflated(const QString& name, const QByteArray& content)
{
    PartDeflater d(std::numeric_limits<std::uint64_t>::max());
    d.write(content);
    addDeflated(name, d);
}

void ZipWriter::addDeflated(const QString& name, PartDeflater& deflater)
{
    const QByteArray data = deflater.finish();
    add(name, kDeflated, deflater.crc(), deflater.size(), data, std::uint64_t(data.size()));
}

QByteArray ZipWriter::finish()
{
    qsizetype total = 0;
    for (const Written& w : written_)
        total += qsizetype(w.compressedSize) + 2 * w.name.size() + 80;
    out_.reserve(total + 22);
    writeAll();
    return std::move(out_);
}

void ZipWriter::finish(int to)
{
    to_ = to;
    writeAll();
    flush();
}

void ZipWriter::writeAll()
{
    std::stable_partition(written_.begin(), written_.end(),
                          [](const Written& w) { return w.name == "[Content_Types].xml"; });
    for (Written& w : written_)
        writeLocal(w);
    const std::uint64_t start = flushed_ + std::uint64_t(out_.size());
    for (const Written& w : written_) {
        put32(out_, 0x02014b50);
        put16(out_, kVersion);
        put16(out_, kVersion);
        put16(out_, isAscii(w.name) ? 0 : kUtf8Names);
        put16(out_, w.method);
        put16(out_, 0);
        put16(out_, kDosDate);
        put32(out_, w.crc);
        put32(out_, std::uint32_t(w.compressedSize));
        put32(out_, std::uint32_t(w.size));
        put16(out_, std::uint16_t(w.name.size()));
        put32(out_, 0); // extra and comment lengths
        put32(out_, 0); // disk number and internal attributes
        put32(out_, 0); // external attributes
        put32(out_, std::uint32_t(w.offset));
        out_.append(w.name);
    }
    const std::uint64_t size = flushed_ + std::uint64_t(out_.size()) - start;
    if (flushed_ + std::uint64_t(out_.size()) > kMax32)
        fail(XlsxStatus::PartTooLarge, QStringLiteral("the new package"));
    put32(out_, 0x06054b50);
    put32(out_, 0);
    put16(out_, std::uint16_t(written_.size()));
    put16(out_, std::uint16_t(written_.size()));
    put32(out_, std::uint32_t(size));
    put32(out_, std::uint32_t(start));
    put16(out_, 0);
}

} // namespace bf::xlsx
