#include "xlsx/PackageBytes.h"

#include "platform/InputFile.h"
#include "xlsx/XlsxStatus.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace bf::xlsx {

PackageBytes::PackageBytes(QByteArray bytes, QString displayName)
    : bytes_(std::move(bytes)), displayName_(std::move(displayName)), size_(std::uint64_t(bytes_.size()))
{
}

PackageBytes::PackageBytes(std::unique_ptr<platform::InputFile> file, QString displayName)
    : file_(std::move(file)), displayName_(std::move(displayName))
{
    try {
        opened_ = file_->state();
        size_ = std::uint64_t(opened_.size);
    } catch (const platform::InputFileError& e) {
        throw XlsxError(XlsxStatus::ReadFailed, e.description());
    }
}

PackageBytes::~PackageBytes() = default;

QString PackageBytes::filePath() const { return file_ ? file_->descriptorPath() : QString(); }

void PackageBytes::requireUnchanged(const QString& detail) const
{
    try {
        if (file_ && file_->state() != opened_)
            fail(XlsxStatus::DamagedZip, detail + QStringLiteral(" (the file changed while it was read)"));
    } catch (const platform::InputFileError& e) {
        throw XlsxError(XlsxStatus::ReadFailed, e.description());
    }
}

QByteArray PackageBytes::readUpTo(std::uint64_t offset, std::uint64_t n, const QString& detail) const
{
    if (offset >= size_)
        return QByteArray();
    n = std::min(n, size_ - offset);
    if (!file_)
        return QByteArray::fromRawData(bytes_.constData() + offset, qsizetype(n));
    requireUnchanged(detail);
    QByteArray out;
    try {
        out = file_->readAt(qint64(offset), qint64(n));
    } catch (const platform::InputFileError& e) {
        throw XlsxError(XlsxStatus::ReadFailed, e.description());
    }
    if (std::uint64_t(out.size()) != n)
        fail(XlsxStatus::DamagedZip, detail + QStringLiteral(" (the file changed while it was read)"));
    return out;
}

QByteArray PackageBytes::read(std::uint64_t offset, std::uint64_t n, const QString& detail) const
{
    if (offset > size_ || n > size_ - offset)
        fail(XlsxStatus::DamagedZip, detail);
    return readUpTo(offset, n, detail);
}

bool PackageBytes::copyTo(std::uint64_t offset, std::uint64_t n, int to, const QString& detail) const
{
    if (offset > size_ || n > size_ - offset)
        fail(XlsxStatus::DamagedZip, detail);
    if (!file_) {
        for (std::uint64_t done = 0; done < n;) {
            const ssize_t w = ::write(to, bytes_.constData() + offset + done, std::size_t(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                if (w == 0)
                    errno = ENOSPC;
                return false;
            }
            done += std::uint64_t(w);
        }
        return true;
    }
    requireUnchanged(detail);
    const qint64 copied = file_->copyTo(qint64(offset), qint64(n), to);
    if (copied < 0)
        return false;
    if (std::uint64_t(copied) != n)
        fail(XlsxStatus::DamagedZip, detail + QStringLiteral(" (the file changed while it was read)"));
    return true;
}

} // namespace bf::xlsx
