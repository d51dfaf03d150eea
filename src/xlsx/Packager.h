#pragma once
// Assembles the new package: a zip written into memory or to a file, each part either copied
// with its compressed bytes as they stand (file to file when both are files) or deflated here.
//
// Rewritten parts are deflated with libdeflate (whole-buffer, about three times zlib's speed at
// the same ratio), at a level that keeps them within a few percent of the size a spreadsheet
// application writes. A part that outgrows the in-memory window (a huge worksheet) switches to
// zlib's streaming deflate, so memory stays bounded whatever the part's size.
#include "xlsx/Package.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <future>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct z_stream_s;

namespace bf::xlsx {

// The deflate level of rewritten parts (libdeflate's scale, 1..12): 3 keeps the large benchmark
// workbook's output within 8% of the source's parts at a fifth less time than 6.
constexpr int kDeflateLevel = 3;

// `raw` deflated on its own, to be spliced into any part's deflated stream: complete blocks,
// none final, ending on a byte boundary and reading nothing before them.
std::string deflatedSegment(std::string_view raw);

// Receives a part's bytes as they are made and deflates them.
class PartDeflater {
public:
    explicit PartDeflater(std::uint64_t window);
    ~PartDeflater();
    PartDeflater(const PartDeflater&) = delete;
    PartDeflater& operator=(const PartDeflater&) = delete;

    // Room for a part of about this size (below the window), to grow without copying.
    void reserve(std::uint64_t bytes);
    void write(std::string_view bytes);
    void write(const QByteArray& bytes) { write(std::string_view(bytes.constData(), std::size_t(bytes.size()))); }
    // Bytes whose deflated form was made beforehand (deflatedSegment(raw)): spliced in as they
    // stand, for a run that repeats the same bytes many times over.
    void writeSegment(std::string_view raw, std::string_view segment);
    // Ends the part: the deflated bytes. Call once.
    QByteArray finish();
    // Ends the part on a thread of its own; finish() then waits for it and hands over its bytes.
    void finishInBackground();
    // Bytes held, not yet deflated.
    std::uint64_t held() const { return pending_.size(); }
    std::uint32_t crc() const { return crc_; }
    std::uint64_t size() const { return size_; }

private:
    QByteArray finishNow();
    void startStreaming(int level);
    void deflateChunk(const char* data, std::size_t n, int flush);

    std::uint64_t window_;
    std::string pending_;           // bytes not yet deflated (below the window)
    std::unique_ptr<z_stream_s> z_; // set once streaming
    QByteArray compressed_;
    std::uint32_t crc_ = 0;
    std::uint64_t size_ = 0;
    std::future<QByteArray> background_; // last: waited for before the buffers go
};

class ZipWriter {
public:
    // A part copied from the source package with its compressed bytes unchanged, when the
    // package is finished: the source must live until then. It is inflated once first, unless
    // it was already, so that damage is refused here rather than copied on.
    void addCopied(const QString& name, const PartEntry& entry, const Package& source);
    // A part made here.
    void addDeflated(const QString& name, const QByteArray& content);
    void addDeflated(const QString& name, PartDeflater& deflater);
    // The finished zip. Throws XlsxError when it outgrows the plain zip format.
    // Parts are written in the order added, except that the content-type table comes first.
    QByteArray finish();
    // The same written to the file open as `to`, at its position; never more than a piece of
    // it held. Throws XlsxError (OutputFailed with the system's reason) when writing fails.
    void finish(int to);

private:
    struct Written {
        QByteArray name;
        QByteArray data;
        const Package* source = nullptr; // copied from it when set, instead of data
        const PartEntry* entry = nullptr;
        std::uint16_t method;
        std::uint32_t crc;
        std::uint64_t compressedSize;
        std::uint64_t size;
        std::uint64_t offset = 0;
    };
    void writeLocal(Written& w);
    void writeAll();
    void flush();
    void add(const QString& name, std::uint16_t method, std::uint32_t crc, std::uint64_t size,
             const QByteArray& data, std::uint64_t compressedSize);

    QByteArray out_;
    int to_ = -1;             // the file written to, or -1 for memory
    std::uint64_t flushed_ = 0; // bytes gone to the file
    std::vector<Written> written_;
};

} // namespace bf::xlsx
