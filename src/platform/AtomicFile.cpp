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

// Makes ".bf-XXXXXX" in folder through make (which fails with EEXIST when the name is taken).
// Returns what make returned, or -1 with errno set.
template <class Make>
int makeTemporary(const QByteArray& folder, QByteArray* name, Make make)
{
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray candidate = folder + "/.bf-";
        for (int i = 0; i < 6; ++i)
            candidate += kLetters[QRandomGenerator::global()->bounded(36)];
        const int fd = make(candidate);
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

// Creates ".bf-XXXXXX" in folder, exclusively; the mode is masked by the umask as for any new
// file. Returns the descriptor, or -1 with errno set.
int createTemporary(const QByteArray& folder, mode_t mode, QByteArray* name)
{
    return makeTemporary(folder, name, [mode](const QByteArray& candidate) {
        return ::open(candidate.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    });
}

// Copies all of the file open as source (from its start) to fd; 0 or the errno that stopped it.
int copyAll(int source, int fd, const WriteFault& fault)
{
    struct stat st {};
    if (::fstat(source, &st) != 0)
        return errno;
    const qint64 size = qint64(st.st_size);
    const qint64 allowed = fault.afterBytes < 0 ? size : std::min<qint64>(fault.afterBytes, size);
    const qint64 copied = copyFileRange(source, 0, allowed, fd);
    if (copied < 0)
        return errno;
    return copied < allowed ? EIO : copied < size ? ENOSPC : 0; // EIO: the source shrank meanwhile
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

namespace {

// Puts a file into place through a temporary one in the same folder: fill makes the temporary
// file (its name in *temp, its descriptor returned, or -1 with errno set) with its content.
template <class Fill>
bool writeThrough(const QString& path, WriteMode mode, WriteFailure* failure, Fill fill)
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
    int code = 0;
    const int fd = fill(folder, &temp, &code);
    if (fd < 0)
        return failWith(failure, code);
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

} // namespace

qint64 copyFileRange(int from, qint64 offset, qint64 size, int to)
{
    qint64 done = 0;
    while (done < size) {
        loff_t at = offset + done;
        const ssize_t n = ::copy_file_range(from, &at, to, nullptr, static_cast<size_t>(size - done), 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP))
            break;
        if (n <= 0)
            return n < 0 ? -1 : done;
        done += n;
    }
    char buffer[1 << 16];
    while (done < size) {
        const ssize_t n = ::pread(from, buffer, static_cast<size_t>(std::min<qint64>(size - done, sizeof buffer)), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? -1 : done;
        for (ssize_t written = 0; written < n;) {
            const ssize_t w = ::write(to, buffer + written, static_cast<size_t>(n - written));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                errno = w < 0 ? errno : ENOSPC;
                return -1;
            }
            written += w;
        }
        done += n;
    }
    return done;
}

bool writeWholeFile(const QString& path, const QByteArray& data, WriteMode mode, const WriteFault& fault,
                    WriteFailure* failure)
{
    return writeThrough(path, mode, failure, [&](const QByteArray& folder, QByteArray* temp, int* code) {
        const int fd = createTemporary(folder, 0666, temp);
        if (fd < 0)
            *code = errno;
        else
            *code = writeAll(fd, data, fault);
        return fd;
    });
}

bool writeWholeFileFrom(const QString& path, int source, bool mayLink, WriteMode mode, const WriteFault& fault,
                        WriteFailure* failure, bool* linked)
{
    bool link = false;
    const bool done = writeThrough(path, mode, failure, [&](const QByteArray& folder, QByteArray* temp, int* code) {
        if (mayLink && fault.afterBytes < 0) {
            // The unnamed file given a name beside the target: no byte copied.
            const QByteArray self = "/proc/self/fd/" + QByteArray::number(source);
            const int made = makeTemporary(folder, temp, [&](const QByteArray& candidate) {
                return ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, candidate.constData(), AT_SYMLINK_FOLLOW);
            });
            if (made == 0) {
                link = true;
                const int fd = ::open(temp->constData(), O_WRONLY | O_CLOEXEC);
                *code = fd < 0 ? errno : 0;
                if (fd < 0)
                    ::unlink(temp->constData());
                return fd;
            }
            temp->clear();
        }
        const int fd = createTemporary(folder, 0666, temp);
        if (fd < 0)
            *code = errno;
        else
            *code = copyAll(source, fd, fault);
        return fd;
    });
    *linked = done && link;
    return done;
}

} // namespace bf::platform
