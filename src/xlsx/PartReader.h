#pragma once
// One part's bytes streamed out of the package: its compressed bytes read in bounded pieces,
// inflated (or, stored, taken as they are) and checked against the size and CRC the zip
// directory declares. Memory stays a piece and the inflater's window whatever the part's size.
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>

struct z_stream_s;

namespace bf::xlsx {

class PackageBytes;
struct PartEntry;

// Refuses (DamagedZip) an encrypted entry, or one neither stored nor deflated: a workbook
// package holds only plain stored and deflated entries.
void requireStoredOrDeflated(const PartEntry& entry, const QString& detail);

class PartReader {
public:
    // limit: how far the part may inflate; tooLarge: the detail of the refusal past it. The
    // bytes must outlive the reader. Throws as requireStoredOrDeflated.
    PartReader(const PackageBytes& bytes, const PartEntry& entry, QString detail, std::uint64_t limit,
               QString tooLarge);
    ~PartReader();
    PartReader(const PartReader&) = delete;
    PartReader& operator=(const PartReader&) = delete;
    // Up to `max` bytes into `out` (replaced); empty at the end. Throws XlsxError: PartTooLarge
    // past the limit; DamagedZip for more or fewer bytes than declared, a CRC that differs, or
    // a deflate stream that is damaged or cut short.
    void read(QByteArray& out, qsizetype max);

private:
    struct Inflater {
        void operator()(z_stream_s* z) const;
    };
    // Fills to[0, room) as far as the part goes; how much was written.
    std::uint64_t inflateInto(char* to, std::uint64_t room);
    std::uint64_t copyInto(char* to, std::uint64_t room);
    // Takes the next piece of compressed bytes; false when none is left.
    bool nextPiece();
    void checkEnd() const;

    const PackageBytes& bytes_;
    const PartEntry& entry_; // marked checked once read to its end and found sound
    QString detail_;
    QString tooLarge_;
    std::uint64_t limit_;
    std::uint64_t declared_;
    std::uint32_t expectedCrc_;
    std::uint32_t crc_ = 0;
    std::uint64_t total_ = 0;
    std::uint64_t next_;      // where the next piece starts in the package
    std::uint64_t left_;      // compressed bytes not yet taken
    QByteArray piece_;
    std::uint64_t used_ = 0;  // of the piece, by the stored copy
    std::unique_ptr<z_stream_s, Inflater> inflater_; // null for a stored part
    bool ended_ = false;
};

} // namespace bf::xlsx
