#include "xlsx/PartReader.h"

#include "xlsx/Package.h"
#include "xlsx/PackageBytes.h"
#include "xlsx/XlsxStatus.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

namespace bf::xlsx {

namespace {

constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;
// Compressed bytes read at a time: few reads, little memory.
constexpr std::uint64_t kPiece = 256u << 10;

} // namespace

void requireStoredOrDeflated(const PartEntry& entry, const QString& detail)
{
    if (entry.encrypted)
        fail(XlsxStatus::DamagedZip, detail + QStringLiteral(" (an encrypted entry)"));
    if (entry.method != kStored && entry.method != kDeflated)
        fail(XlsxStatus::DamagedZip,
             detail + QStringLiteral(" (compression method %1, neither stored nor deflated)").arg(entry.method));
}

void PartReader::Inflater::operator()(z_stream_s* z) const
{
    inflateEnd(z);
    delete z;
}

PartReader::PartReader(const PackageBytes& bytes, const PartEntry& entry, QString detail, std::uint64_t limit,
                       QString tooLarge)
    : bytes_(bytes), entry_(entry), detail_(std::move(detail)), tooLarge_(std::move(tooLarge)), limit_(limit),
      declared_(entry.size), expectedCrc_(entry.crc), next_(entry.dataOffset), left_(entry.compressedSize)
{
    requireStoredOrDeflated(entry, detail_);
    if (entry.method == kDeflated) {
        inflater_.reset(new z_stream_s{});
        if (inflateInit2(inflater_.get(), -MAX_WBITS) != Z_OK)
            throw std::bad_alloc();
    }
}

PartReader::~PartReader() = default;

void PartReader::read(QByteArray& out, qsizetype max)
{
    out.resize(max);
    // One byte past the declared size is room enough to tell that the part runs past it.
    const std::uint64_t room = declared_ - total_ < std::uint64_t(max) ? declared_ - total_ + 1 : std::uint64_t(max);
    const std::uint64_t n = ended_ ? 0 : inflater_ ? inflateInto(out.data(), room) : copyInto(out.data(), room);
    total_ += n;
    if (total_ > limit_)
        fail(XlsxStatus::PartTooLarge, tooLarge_);
    if (total_ > declared_)
        fail(XlsxStatus::DamagedZip, detail_ + QStringLiteral(" (more bytes than declared)"));
    crc_ = std::uint32_t(libdeflate_crc32(crc_, out.constData(), std::size_t(n)));
    if (ended_)
        checkEnd();
    out.resize(qsizetype(n));
}

std::uint64_t PartReader::inflateInto(char* to, std::uint64_t room)
{
    z_stream_s& z = *inflater_;
    z.next_out = reinterpret_cast<Bytef*>(to);
    std::uint64_t done = 0;
    while (done < room && !ended_) {
        // With every compressed byte taken, the inflater may still hold output of its own.
        if (z.avail_in == 0)
            nextPiece();
        z.avail_out = uInt(std::min<std::uint64_t>(room - done, UINT_MAX));
        const uInt before = z.avail_out;
        const int rc = inflate(&z, Z_NO_FLUSH);
        const uInt made = before - z.avail_out;
        done += made;
        if (rc == Z_STREAM_END)
            ended_ = true; // bytes after the end of the stream are ignored, as a whole read does
        else if (rc == Z_MEM_ERROR)
            throw std::bad_alloc();
        else if (rc == Z_BUF_ERROR && made == 0 && z.avail_in == 0)
            fail(XlsxStatus::DamagedZip, detail_ + QStringLiteral(" (the deflated data ends early)"));
        else if (rc != Z_OK && rc != Z_BUF_ERROR)
            fail(XlsxStatus::DamagedZip, detail_ + QStringLiteral(" (damaged deflated data)"));
    }
    return done;
}

std::uint64_t PartReader::copyInto(char* to, std::uint64_t room)
{
    std::uint64_t done = 0;
    while (done < room) {
        if (used_ == std::uint64_t(piece_.size()) && !nextPiece()) {
            ended_ = true;
            break;
        }
        const std::uint64_t n = std::min(room - done, std::uint64_t(piece_.size()) - used_);
        std::memcpy(to + done, piece_.constData() + used_, std::size_t(n));
        used_ += n;
        done += n;
    }
    return done;
}

bool PartReader::nextPiece()
{
    if (left_ == 0)
        return false;
    const std::uint64_t n = std::min(left_, kPiece);
    piece_ = bytes_.read(next_, n, detail_);
    next_ += n;
    left_ -= n;
    used_ = 0;
    if (inflater_) {
        inflater_->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece_.constData()));
        inflater_->avail_in = uInt(n);
    }
    return true;
}

void PartReader::checkEnd() const
{
    if (total_ != declared_)
        fail(XlsxStatus::DamagedZip, detail_ + QStringLiteral(" (fewer bytes than declared)"));
    if (crc_ != expectedCrc_)
        fail(XlsxStatus::DamagedZip, detail_ + QStringLiteral(" (the CRC differs)"));
    entry_.checked = true;
}

} // namespace bf::xlsx
