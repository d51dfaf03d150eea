#include "xlsx/Package.h"

#include "platform/InputFile.h"
#include "xlsx/PackageBytes.h"
#include "xlsx/XlsxStatus.h"
#include "xlsx/ZipSpans.h"

#include <libdeflate.h>
#include <zip.h>

#include <algorithm>

namespace bf::xlsx {

namespace {

// Parts read whole: at least this much, more for large inputs (a shared-string table can be
// several times its compressed size).
constexpr std::uint64_t kMinMemoryLimit = 64ull << 20;
// Parts streamed (a worksheet): beyond this a part is a decompression bomb, not a workbook.
constexpr std::uint64_t kMinStreamLimit = 256ull << 20;
constexpr std::uint64_t kStreamRatio = 100;
constexpr std::uint64_t kMaxStreamLimit = 4ull << 30;

// A file that starts like a zip but has no readable directory is a damaged zip.
XlsxStatus statusOfZipError(int code, const PackageBytes& bytes, const QString& displayName)
{
    return code == ZIP_ER_NOZIP && !bytes.readUpTo(0, 2, displayName).startsWith("PK") ? XlsxStatus::NotZip
                                                                                        : XlsxStatus::DamagedZip;
}

const QString kMemoryRule = QStringLiteral("for a part read whole: three times the file, at least 64 MB");
const QString kStreamRule = QStringLiteral("for a part streamed: 100 times the file, at least 256 MB, at most 4 GB");

QString megabytes(std::uint64_t bytes)
{
    return QString::number(double(bytes) / (1 << 20), 'f', 1) + QStringLiteral(" MB");
}

// A part beyond a limit, and what is known of its size: the declared size, or how far it
// inflated before it was stopped.
QString tooLarge(std::uint64_t size, std::uint64_t limit, const QString& rule, bool reached)
{
    QString text = QStringLiteral(" (%1 %2, the limit is %3 %4)")
                       .arg(reached ? QStringLiteral("inflates past") : QStringLiteral("declares"),
                            megabytes(size), megabytes(limit), rule);
    // Below the absolute bound a part may be sound and only large: another backend may read it.
    if (size < kMaxStreamLimit)
        text += QStringLiteral("; the LibreOffice Calc backend may split it");
    return text;
}

QString folded(const QString& name)
{
    return name.toCaseFolded();
}

} // namespace

Package::Package(QByteArray bytes, QString displayName)
    : bytes_(std::make_unique<PackageBytes>(std::move(bytes), displayName)), displayName_(std::move(displayName))
{
    open();
}

Package::Package(std::unique_ptr<platform::InputFile> file, QString displayName)
    : bytes_(std::make_unique<PackageBytes>(std::move(file), displayName)), displayName_(std::move(displayName))
{
    open();
}

void Package::open()
{
    zip_error_t error;
    zip_error_init(&error);
    const QString path = bytes_->filePath();
    zip_source_t* source = path.isEmpty()
        ? zip_source_buffer_create(bytes_->held().constData(), zip_uint64_t(bytes_->held().size()), 0, &error)
        : zip_source_file_create(path.toLocal8Bit().constData(), 0, zip_int64_t(bytes_->size()), &error);
    if (source)
        archive_ = zip_open_from_source(source, ZIP_RDONLY, &error);
    if (!archive_) {
        const int code = zip_error_code_zip(&error);
        if (source)
            zip_source_free(source);
        zip_error_fini(&error);
        fail(statusOfZipError(code, *bytes_, displayName_), displayName_);
    }
    zip_error_fini(&error);
    try {
        readEntries(refuseOverlappingEntries(*bytes_, displayName_));
    } catch (...) {
        zip_discard(archive_); // the destructor does not run for a constructor that throws
        archive_ = nullptr;
        throw;
    }
}

void Package::readEntries(const std::vector<DataSpan>& data)
{
    const zip_int64_t count = zip_get_num_entries(archive_, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(archive_, zip_uint64_t(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME))
            fail(XlsxStatus::DamagedZip, displayName_);
        PartEntry e;
        e.name = QString::fromUtf8(st.name);
        if (e.name.endsWith('/'))
            continue; // a folder entry holds no part
        e.index = zip_uint64_t(i);
        e.size = st.size;
        e.compressedSize = st.comp_size;
        e.crc = st.crc;
        e.method = std::uint16_t(st.comp_method);
        e.encrypted = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
        // The directory read here and libzip's list the same entries in the same order.
        if (std::size_t(i) >= data.size() || data[std::size_t(i)].size != e.compressedSize)
            fail(XlsxStatus::DamagedZip, displayName_ + QStringLiteral(", part ") + e.name);
        e.dataOffset = data[std::size_t(i)].offset;
        if (!byFoldedName_.emplace(folded(e.name), entries_.size()).second)
            fail(XlsxStatus::DuplicatePartName, displayName_ + QStringLiteral(", part ") + e.name);
        entries_.push_back(std::move(e));
    }
}

Package::~Package()
{
    if (archive_)
        zip_discard(archive_);
}

const PartEntry* Package::find(const QString& name) const
{
    const auto it = byFoldedName_.find(folded(name));
    return it == byFoldedName_.end() ? nullptr : &entries_[it->second];
}

qsizetype Package::inputSize() const { return qsizetype(bytes_->size()); }

std::uint64_t Package::memoryLimit() const
{
    return std::max(kMinMemoryLimit, 3 * bytes_->size());
}

std::uint64_t Package::streamLimit() const
{
    return std::min(kMaxStreamLimit, std::max(kMinStreamLimit, kStreamRatio * bytes_->size()));
}

void Package::refuseTooLarge(const QString& detail, std::uint64_t size, std::uint64_t limit,
                             const QString& rule) const
{
    fail(XlsxStatus::PartTooLarge, detail + tooLarge(size, limit, rule, false));
}

QByteArray Package::read(const PartEntry& entry) const
{
    ++partsRead_;
    const QString detail = displayName_ + QStringLiteral(", part ") + entry.name;
    if (entry.size > memoryLimit())
        refuseTooLarge(detail, entry.size, memoryLimit(), kMemoryRule);
    requireStoredOrDeflated(entry, detail);
    if (entry.method == ZIP_CM_DEFLATE)
        return inflateWhole(entry, detail);
    PartReader reader(*bytes_, entry, detail, memoryLimit(), detail + tooLarge(memoryLimit(), memoryLimit(), kMemoryRule, true));
    QByteArray all;
    all.reserve(qsizetype(entry.size));
    QByteArray chunk;
    for (;;) {
        reader.read(chunk, 1 << 20);
        if (chunk.isEmpty())
            break;
        all.append(chunk);
    }
    return all;
}

// A deflated part inflated in one call (libdeflate, several times zlib's speed): its declared
// size must be exact and its CRC must match, or the package is damaged.
QByteArray Package::inflateWhole(const PartEntry& entry, const QString& detail) const
{
    const QByteArray raw = readCompressed(entry);
    QByteArray out(qsizetype(entry.size), Qt::Uninitialized);
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    if (!d)
        throw std::bad_alloc();
    const libdeflate_result rc = libdeflate_deflate_decompress(d, raw.constData(), std::size_t(raw.size()),
                                                               out.data(), std::size_t(out.size()), nullptr);
    libdeflate_free_decompressor(d);
    if (rc != LIBDEFLATE_SUCCESS
        || std::uint32_t(libdeflate_crc32(0, out.constData(), std::size_t(out.size()))) != entry.crc)
        fail(XlsxStatus::DamagedZip, detail);
    entry.checked = true;
    return out;
}

QByteArray Package::read(const QString& name) const
{
    const PartEntry* e = find(name);
    if (!e)
        fail(XlsxStatus::MissingPart, displayName_ + QStringLiteral(", part ") + name);
    return read(*e);
}

QByteArray Package::readCompressed(const PartEntry& entry) const
{
    return bytes_->read(entry.dataOffset, entry.compressedSize, displayName_ + QStringLiteral(", part ") + entry.name);
}

void Package::appendCompressed(const PartEntry& entry, QByteArray& out) const
{
    const QString detail = displayName_ + QStringLiteral(", part ") + entry.name;
    if (entry.dataOffset > bytes_->size() || entry.compressedSize > bytes_->size() - entry.dataOffset)
        fail(XlsxStatus::DamagedZip, detail);
    for (std::uint64_t done = 0; done < entry.compressedSize;) {
        const std::uint64_t n = std::min<std::uint64_t>(entry.compressedSize - done, 1 << 20);
        out.append(bytes_->read(entry.dataOffset + done, n, detail));
        done += n;
    }
}

bool Package::copyCompressed(const PartEntry& entry, int to) const
{
    return bytes_->copyTo(entry.dataOffset, entry.compressedSize, to, displayName_ + QStringLiteral(", part ") + entry.name);
}

void Package::requireSound(const PartEntry& entry) const
{
    if (entry.checked)
        return;
    const std::unique_ptr<PartReader> reader = stream(entry);
    QByteArray chunk;
    do
        reader->read(chunk, 1 << 20);
    while (!chunk.isEmpty());
}

std::unique_ptr<PartReader> Package::stream(const PartEntry& entry) const
{
    ++partsRead_;
    const QString detail = displayName_ + QStringLiteral(", part ") + entry.name;
    if (entry.size > streamLimit())
        refuseTooLarge(detail, entry.size, streamLimit(), kStreamRule);
    return std::make_unique<PartReader>(*bytes_, entry, detail, streamLimit(),
                                        detail + tooLarge(streamLimit(), streamLimit(), kStreamRule, true));
}

} // namespace bf::xlsx
