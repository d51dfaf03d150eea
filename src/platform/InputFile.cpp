#include "platform/InputFile.h"

#include "core/Error.h"
#include "platform/AtomicFile.h"

#include <QFile>

#include <algorithm>
#include <limits>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace bf::platform {

namespace {

QString kindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return QString();
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("not a file");
}

QString systemReason(int code) { return QString::fromLocal8Bit(std::strerror(code)); }

// One read of up to size bytes at offset, again when a signal cut it short; 0 at the end.
qint64 readSomeAt(int fd, const QString& path, char* into, qint64 size, qint64 offset)
{
    for (;;) {
        const ssize_t n = ::pread(fd, into, static_cast<size_t>(size), offset);
        if (n >= 0)
            return n;
        if (errno != EINTR)
            throw InputFileError(InputFileError::Why::Unreadable, err::PathFileAccessError,
                                 QStringLiteral("'%1' cannot be read: %2").arg(path, systemReason(errno)));
    }
}

[[noreturn]] void refuse(const QString& path, const QString& kind)
{
    throw InputFileError(InputFileError::Why::NotRegular, err::PathFileAccessError,
                         QStringLiteral("'%1' is %2, not a regular file").arg(path, kind));
}

} // namespace

InputFile::InputFile(const QString& path) : path_(path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            throw InputFileError(InputFileError::Why::Missing, err::FileNotFound,
                                 standardDescription(err::FileNotFound) + QStringLiteral(": ") + path);
        throw InputFileError(InputFileError::Why::Unreadable, err::PathFileAccessError,
                             QStringLiteral("'%1' cannot be opened: %2").arg(path, systemReason(errno)));
    }
    if (!S_ISREG(st.st_mode))
        refuse(path, kindOf(st.st_mode));
    // Non-blocking, so a FIFO put in its place since the look above cannot hold the open.
    fd_ = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0)
        throw InputFileError(InputFileError::Why::Unreadable, errno == EACCES ? err::PermissionDenied : err::PathFileAccessError,
                             QStringLiteral("'%1' cannot be opened: %2").arg(path, systemReason(errno)));
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        refuse(path, kindOf(st.st_mode));
    }
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
}

InputFile::~InputFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

QByteArray InputFile::readHead(qint64 size)
{
    // Read straight into a buffer of the file's size, grown only if the file grows meanwhile:
    // appending in small pieces copies a large workbook many times over.
    struct stat st {};
    const qint64 known = ::fstat(fd_, &st) == 0 ? qint64(st.st_size) : 0;
    const qint64 limit = size < 0 ? std::numeric_limits<qint64>::max() : size;
    QByteArray data(std::min(limit, std::max<qint64>(known, 0) + 1), Qt::Uninitialized);
    qint64 filled = 0;
    while (filled < limit) {
        if (filled == data.size())
            data.resize(std::min(limit, std::max<qint64>(2 * filled, 65536)));
        const qint64 n = readSomeAt(fd_, path_, data.data() + filled, data.size() - filled, filled);
        if (n == 0)
            break;
        filled += n;
    }
    data.truncate(filled);
    return data;
}

QByteArray InputFile::readAll() { return readHead(-1); }

FileState InputFile::state() const
{
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        throw InputFileError(InputFileError::Why::Unreadable, err::PathFileAccessError,
                             QStringLiteral("'%1' cannot be read: %2").arg(path_, systemReason(errno)));
    return {qint64(st.st_size), qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

QByteArray InputFile::readAt(qint64 offset, qint64 size) const
{
    QByteArray data(std::max<qint64>(size, 0), Qt::Uninitialized);
    qint64 filled = 0;
    while (filled < data.size()) {
        const qint64 n = readSomeAt(fd_, path_, data.data() + filled, data.size() - filled, offset + filled);
        if (n == 0)
            break;
        filled += n;
    }
    data.truncate(filled);
    return data;
}

QString InputFile::descriptorPath() const { return QStringLiteral("/proc/self/fd/%1").arg(fd_); }

qint64 InputFile::copyTo(qint64 offset, qint64 size, int to) const { return copyFileRange(fd_, offset, size, to); }

} // namespace bf::platform
