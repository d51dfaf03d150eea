#pragma once
// The zip container of an Open XML package, listed through libzip; each entry's bytes are read
// where the directory puts them, so a part that is not rewritten is copied into the new package
// without being inflated and deflated again. Every part inflated is checked against its declared
// size and CRC. (libzip's stricter open-time check, ZIP_CHECKCONS, refuses sound packages whose
// entries carry data descriptors, so it is not used.)
//
// Part names are case-insensitive; two entries whose names differ only in case are refused, and
// so are two entries sharing bytes.
// Every inflation is bounded: a declared or actual size beyond the limit is refused.
#include "xlsx/PartReader.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

struct zip;

namespace bf::platform {
class InputFile;
}

namespace bf::xlsx {

class PackageBytes;

struct DataSpan;

struct PartEntry {
    QString name;                 // part name without the leading '/', as in the zip
    std::uint64_t index = 0;      // zip entry index
    std::uint64_t size = 0;       // declared uncompressed size
    std::uint64_t compressedSize = 0;
    std::uint32_t crc = 0;
    std::uint16_t method = 0;     // 0 stored, 8 deflated
    std::uint64_t dataOffset = 0; // where its compressed bytes start in the file
    bool encrypted = false;
    // Inflated to its end in this opening and found sound (size and CRC as declared).
    mutable bool checked = false;
};

class Package {
public:
    // Opens the zip held in `bytes` (kept alive by the package). displayName names the file in
    // failures. Throws XlsxError: DamagedZip, DuplicatePartName, NotZip,
    // OverlappingEntries.
    Package(QByteArray bytes, QString displayName);
    // The same on a plain file, read in bounded pieces and never held whole.
    Package(std::unique_ptr<platform::InputFile> file, QString displayName);
    ~Package();
    Package(const Package&) = delete;
    Package& operator=(const Package&) = delete;

    const QString& displayName() const { return displayName_; }
    qsizetype inputSize() const;
    const std::vector<PartEntry>& entries() const { return entries_; }
    // The entry of a part (name without leading '/', any letter case), or nullptr.
    const PartEntry* find(const QString& name) const;

    // The whole inflated part; bounded by the in-memory limit. Throws XlsxError.
    QByteArray read(const PartEntry& entry) const;
    QByteArray read(const QString& name) const;
    // The part's compressed bytes as stored (held bytes are not copied: valid while the package is).
    QByteArray readCompressed(const PartEntry& entry) const;
    // Appends them to `out` in bounded pieces.
    void appendCompressed(const PartEntry& entry, QByteArray& out) const;
    // Writes them to the file open as `to`, at its position, file to file where they lie in a
    // file. False with errno set when writing fails; throws XlsxError when reading does.
    bool copyCompressed(const PartEntry& entry, int to) const;
    // A streaming reader of the part, bounded by the streaming limit.
    std::unique_ptr<PartReader> stream(const PartEntry& entry) const;
    // Inflates the part to its end, unless that was done already, so that a part copied with
    // its compressed bytes is refused when damaged rather than copied on. Throws XlsxError.
    void requireSound(const PartEntry& entry) const;

    // Parts inflated so far (read whole or streamed), counted for tests.
    std::uint64_t partsRead() const { return partsRead_; }

    // Largest part read whole into memory, and largest part streamed.
    std::uint64_t memoryLimit() const;
    std::uint64_t streamLimit() const;

private:
    // The refusal of a part of `size` bytes beyond `limit`, set by `rule`. Throws XlsxError.
    [[noreturn]] void refuseTooLarge(const QString& detail, std::uint64_t size, std::uint64_t limit,
                                     const QString& rule) const;
    // Throws XlsxError (DamagedZip, DuplicatePartName). data: each entry's bytes, in order.
    void open();
    void readEntries(const std::vector<DataSpan>& data);
    QByteArray inflateWhole(const PartEntry& entry, const QString& detail) const;

    std::unique_ptr<PackageBytes> bytes_;
    QString displayName_;
    zip* archive_ = nullptr;
    std::vector<PartEntry> entries_;
    std::map<QString, std::size_t> byFoldedName_;
    mutable std::uint64_t partsRead_ = 0;
};

} // namespace bf::xlsx
