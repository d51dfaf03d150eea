#include "platform/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace bf::platform {

namespace {

bool failWith(WriteFailure* failure, int code)
{
    if (failure) {
        failure->code = code;
        failure->reason = QString::fromLocal8Bit(std::strerror(code));
    }
    return false;
}

// Creates ".bf-XXXXXX" in folder, exclusively; the mode is masked by the umask as for any new
// file. Returns the descriptor, or -1 with errno set.
int createTemporary(const QByteArray& folder, mode_t mode, QByteArray* name)
{
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray candidate = folder + "/.bf-";
        for (int i = 0; i < 6; ++i)
            candidate += kLetters[QRandomGenerator::global()->bounded(36)];
        const int fd = ::open(candidate.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) {
            const int why = errno;
            *name = candidate;
            errno = why;
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

// Writes all of data; 0 or the errno of the write that failed.
int writeAll(int fd, const QByteArray& data, const WriteFault& fault)
{
    const qint64 allowed = fault.afterBytes < 0 ? data.size() : std::min<qint64>(fault.afterBytes, data.size());
    qint64 done = 0;
    while (done < allowed) {
        const ssize_t n = ::write(fd, data.constData() + done, static_cast<size_t>(allowed - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : ENOSPC;
        done += n;
    }
    return done < data.size() ? ENOSPC : 0;
}

// The new name is on the disk only once the folder is synced too.
void syncFolder(const QByteArray& folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Puts the complete temporary file under its real name; 0 or an errno.
int putInPlace(const QByteArray& temp, const QByteArray& target, WriteMode mode)
{
    if (mode == WriteMode::Replace)
        return ::rename(temp.constData(), target.constData()) == 0 ? 0 : errno;
    if (::link(temp.constData(), target.constData()) == 0) {
        ::unlink(temp.constData());
        return 0;
    }
    const int why = errno;
    if (why == EEXIST)
        return why;
    // A file system without hard links: a rename, after one more look.
    struct stat st {};
    if (::lstat(target.constData(), &st) == 0)
        return EEXIST;
    return ::rename(temp.constData(), target.constData()) == 0 ? 0 : errno;
}

} // namespace

bool writeWholeFile(const QString& path, const QByteArray& data, WriteMode mode, const WriteFault& fault,
                    WriteFailure* failure)
{
    const QFileInfo info(path);
    // A link is followed: the file it names is the one replaced.
    const QString real = mode == WriteMode::Replace && info.isSymLink() ? info.symLinkTarget() : info.absoluteFilePath();
    const QByteArray target = QFile::encodeName(real);
    const QByteArray folder = QFile::encodeName(QFileInfo(real).absolutePath());
    struct stat old {};
    const bool existed = ::stat(target.constData(), &old) == 0;
    if (existed && mode == WriteMode::NewFile)
        return failWith(failure, EEXIST);

    QByteArray temp;
    const int fd = createTemporary(folder, 0666, &temp);
    if (fd < 0)
        return failWith(failure, errno);
    int code = writeAll(fd, data, fault);
    if (code == 0 && existed && ::fchmod(fd, old.st_mode & 07777) != 0)
        code = errno;
    if (code == 0 && mode == WriteMode::Replace && ::fsync(fd) != 0)
        code = errno;
    if (::close(fd) != 0 && code == 0)
        code = errno;
    if (code == 0)
        code = putInPlace(temp, target, mode);
    if (code != 0) {
        ::unlink(temp.constData());
        return failWith(failure, code);
    }
    if (mode == WriteMode::Replace)
        syncFolder(folder);
    return true;
}

} // namespace bf::platform
