#pragma once
// Writes a file as a whole through a temporary file in the same folder, so no reader ever sees
// it half-written. The temporary name is short and of fixed length (".bf-" and six characters),
// so every name the file system allows can be written. Every write is checked; on any failure
// the temporary file is removed, an existing file stays as it was, and the system's reason is
// handed back.
#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace bf::platform {

// A stand-in for a full disk, for tests: once this many bytes went to a file, its writes fail
// with ENOSPC.
struct WriteFault {
    qint64 afterBytes = -1; // negative: no fault
};

enum class WriteMode {
    // The file must not exist; it is linked into place, so one that appears meanwhile is never
    // replaced. Not synced to the disk: a split writes hundreds of files.
    NewFile,
    // Replaces the file (or makes it), keeping its permission bits; the data is synced to the
    // disk before the temporary file takes the name.
    Replace,
};

struct WriteFailure {
    int code = 0;   // errno; EEXIST when a NewFile target exists
    QString reason; // the system's words for it ("No space left on device")
};

// True when path holds data; false with *failure filled otherwise.
bool writeWholeFile(const QString& path, const QByteArray& data, WriteMode mode, const WriteFault& fault,
                    WriteFailure* failure);

// Copies size bytes at offset of the file open as `from` to the position of the file open as
// `to`, in the kernel where it can, in bounded pieces otherwise: the number copied (fewer only
// where `from` ends), or -1 with errno set.
qint64 copyFileRange(int from, qint64 offset, qint64 size, int to);

// The same with the content of the file open as `source` (from its start). Where no fault is set
// and mayLink, the source (an unnamed temporary file on the same file system) is linked into
// place with no copy, and *linked set; otherwise its bytes are copied file to file.
bool writeWholeFileFrom(const QString& path, int source, bool mayLink, WriteMode mode, const WriteFault& fault,
                        WriteFailure* failure, bool* linked);

} // namespace bf::platform
