#include "platform/TempFile.h"

#include "platform/NewFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace bf::platform {

namespace {
[[noreturn]] void refuse(int code)
{
    throw NewFileError(NewFileStatus::WriteFailed, QStringLiteral("a temporary file could not be made: %1")
                                                       .arg(QString::fromLocal8Bit(std::strerror(code))));
}
} // namespace

TempFile::TempFile(const QString& folder)
{
    const QByteArray native = QFile::encodeName(folder);
    fd_ = ::open(native.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (fd_ >= 0)
        return;
    // A file system without unnamed files: a named one, unlinked at once.
    QByteArray name = native + "/.bf-tmp-XXXXXX";
    fd_ = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd_ < 0)
        refuse(errno);
    ::unlink(name.constData());
}

TempFile::~TempFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

QString TempFile::path() const { return QStringLiteral("/proc/self/fd/%1").arg(fd_); }

QByteArray TempFile::readAll() const
{
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        refuse(errno);
    QByteArray data(qsizetype(st.st_size), Qt::Uninitialized);
    qsizetype filled = 0;
    while (filled < data.size()) {
        const ssize_t n = ::pread(fd_, data.data() + filled, std::size_t(data.size() - filled), filled);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            refuse(errno);
        if (n == 0)
            break;
        filled += n;
    }
    data.truncate(filled);
    return data;
}

} // namespace bf::platform
