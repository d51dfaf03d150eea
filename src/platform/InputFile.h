#pragma once
// Opening an input never blocks and never reads anything but a file: a FIFO, a device, a socket
// or a folder under a workbook's name is refused at once, before it is opened, and once more on
// the opened descriptor in case it was swapped meanwhile.
#include "core/Error.h"

#include <QByteArray>
#include <QString>

namespace bf::platform {

// Why an input could not be opened; the description names the file once, with the reason.
class InputFileError : public Error {
public:
    enum class Why { Missing, NotRegular, Unreadable };
    InputFileError(Why why, std::int32_t number, const QString& description) : Error(number, description), why_(why) {}
    Why why() const { return why_; }

private:
    Why why_;
};

// What tells whether a file changed: its size and the time its contents were last written.
struct FileState {
    qint64 size = 0;
    qint64 modifiedNs = 0;
    bool operator==(const FileState&) const = default;
};

class InputFile {
public:
    // Throws InputFileError: 53 when nothing is there, 75 when it is no regular file, 70 when it
    // cannot be opened.
    explicit InputFile(const QString& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // The whole file; InputFileError 75 with the system's reason when reading fails.
    QByteArray readAll();
    // At most size bytes from the start.
    QByteArray readHead(qint64 size);
    // A name of this very file for a library that opens files by name itself.
    QString descriptorPath() const;
    // Its size and modification time now; InputFileError 75 when they cannot be told.
    FileState state() const;
    // At most size bytes from offset (fewer only where the file ends); InputFileError 75 when
    // reading fails.
    QByteArray readAt(qint64 offset, qint64 size) const;
    // Copies size bytes from offset to the position of the file open as `to`: the number copied
    // (fewer only where this file ends), or -1 with errno set when reading or writing fails.
    qint64 copyTo(qint64 offset, qint64 size, int to) const;

private:
    QString path_;
    int fd_ = -1;
};

} // namespace bf::platform
