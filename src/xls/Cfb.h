#pragma once
// The compound-file container of an .xls, through libgsf: reading the top-level streams of a
// file (lazily, so listing a large workbook reads only what it needs) and writing a new file.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

namespace bf::xls {

// One stream of a compound file, read on demand. Not shareable between threads.
class CfbStream {
public:
    ~CfbStream();
    CfbStream(const CfbStream&) = delete;
    CfbStream& operator=(const CfbStream&) = delete;

    std::uint64_t size() const { return size_; }
    // Makes the first `end` bytes available in data(); false when the stream is shorter or
    // cannot be read.
    bool ensure(std::uint64_t end);
    // Loads everything; false on a read failure.
    bool loadAll() { return ensure(size_); }
    const std::uint8_t* data() const { return buf_.data(); }
    std::uint64_t loaded() const { return buf_.size(); }
    // Reads n bytes at pos without loading the prefix before it; false when out of range.
    bool peek(std::uint64_t pos, std::size_t n, std::uint8_t* out);

private:
    friend class CfbFile;
    explicit CfbStream(void* input);
    void* input_; // GsfInput*
    std::uint64_t size_ = 0;
    std::vector<std::uint8_t> buf_;
};

// A compound file opened for reading. Throws nothing: open() returns null and a reason.
class CfbFile {
public:
    ~CfbFile();
    CfbFile(const CfbFile&) = delete;
    CfbFile& operator=(const CfbFile&) = delete;

    static std::unique_ptr<CfbFile> openPath(const QString& path, QString* reason);
    static std::unique_ptr<CfbFile> openBytes(const QByteArray& bytes, QString* reason);

    struct Entry {
        QString name;
        bool storage;
    };
    const std::vector<Entry>& entries() const { return entries_; }
    // The top-level stream with that name compared without regard to case; null when absent.
    std::unique_ptr<CfbStream> openStream(const QString& name) const;
    // The whole stream; empty and false when it cannot be read.
    bool readStream(const QString& name, QByteArray* out) const;

private:
    CfbFile() = default;
    static std::unique_ptr<CfbFile> fromInput(void* input, QString* reason);
    void* infile_ = nullptr; // GsfInfile*
    QByteArray bytes_;       // backing store of openBytes
    std::vector<Entry> entries_;
};

// A new compound file, built in memory with 512-byte sectors (the form every reader accepts).
struct CfbOutputStream {
    QString name;
    const std::uint8_t* data;
    std::size_t size;
};
// The file's bytes; empty with a reason on failure.
QByteArray writeCompoundFile(const std::vector<CfbOutputStream>& streams, QString* reason);

} // namespace bf::xls
