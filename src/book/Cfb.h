#pragma once
// The compound-file container of a workbook (an .xls, a password-protected package), through libgsf: reading the top-level streams of a
// file (lazily, so listing a large workbook reads only what it needs) and writing a new file.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

namespace bf::book {

// One stream of a compound file, read on demand. Not shareable between threads.
class CfbStream {
public:
    ~CfbStream();
    CfbStream(const CfbStream&) = delete;
    CfbStream& operator=(const CfbStream&) = delete;

    std::uint64_t size() const { return size_; }
    // Makes bytes [pos, pos + n) available at data() + pos, reading only the pieces not read
    // before (so extracting one sheet of a large workbook reads that sheet and the globals);
    // false when the range lies outside the stream or cannot be read.
    bool ensureRange(std::uint64_t pos, std::uint64_t n);
    // The first `end` bytes.
    bool ensure(std::uint64_t end) { return ensureRange(0, end); }
    bool loadAll() { return ensureRange(0, size_); }
    // The stream's bytes at their positions; only ranges made available are valid. The
    // address does not change once a range was made available.
    const std::uint8_t* data() const { return buf_.get(); }
    // Reads n bytes at pos into out without keeping them; false when out of range.
    bool peek(std::uint64_t pos, std::size_t n, std::uint8_t* out);

private:
    friend class CfbFile;
    explicit CfbStream(void* input);
    void* input_; // GsfInput*
    std::uint64_t size_ = 0;
    std::unique_ptr<std::uint8_t[]> buf_; // the whole stream's size, filled piece by piece
    std::vector<std::uint8_t> pieceLoaded_;
};

// A compound file opened for reading. Throws nothing: open() returns null and a reason.
class CfbFile {
public:
    ~CfbFile();
    CfbFile(const CfbFile&) = delete;
    CfbFile& operator=(const CfbFile&) = delete;

    // A file whose header counts disagree with its sound sector lists is repaired in memory.
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
    // A top-level storage with everything in it; false when absent or unreadable.
    bool readStorage(const QString& name, struct CfbNode* out) const;

private:
    CfbFile() = default;
    static std::unique_ptr<CfbFile> fromInput(void* input, QString* reason);
    static std::unique_ptr<CfbFile> openMemory(const QByteArray& bytes, QString* reason);
    void* infile_ = nullptr; // GsfInfile*
    QByteArray bytes_;       // backing store of openBytes
    std::vector<Entry> entries_;
};

// Sets the header's FAT-sector and DIFAT-sector counts to what the sector lists hold, when
// they differ and the lists are sound; false when there is nothing to repair.
bool repairCompoundHeader(QByteArray* file);

// A storage or stream read whole, for copying into a new file.
struct CfbNode {
    QString name;
    bool storage = false;
    QByteArray data;  // a stream's bytes
    QByteArray clsid; // a storage's class id (16 bytes) when it has one
    std::vector<CfbNode> children;
};

// A new compound file, built in memory with 512-byte sectors (the form every reader accepts).
struct CfbOutputStream {
    QString name;
    const std::uint8_t* data;
    std::size_t size;
};
// The file's bytes; empty with a reason on failure.
QByteArray writeCompoundFile(const std::vector<CfbOutputStream>& streams, QString* reason,
                             const std::vector<CfbNode>& storages = {});

} // namespace bf::book
