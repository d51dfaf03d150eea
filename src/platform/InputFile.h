#pragma once
// Opening an input never blocks and never reads anything but a file: a FIFO, a device, a socket
// or a folder under a workbook's name is refused at once, before it is opened, and once more on
// the opened descriptor in case it was swapped meanwhile.
#include <QByteArray>
#include <QString>

namespace bf::platform {

// Throws Error 75 naming path when something other than a regular file is there (links
// followed); nothing when it is a regular file or nothing is there.
void refuseUnlessRegularFile(const QString& path);

class InputFile {
public:
    // Throws bf::Error: 53 when nothing is there, 75 when it is no regular file, 70 when it cannot
    // be opened; each description names the file.
    explicit InputFile(const QString& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // The whole file; error 75 with the system's reason when reading fails.
    QByteArray readAll();
    // At most size bytes from the start.
    QByteArray readHead(qint64 size);
    // A name of this very file for a library that opens files by name itself.
    QString descriptorPath() const;

private:
    QString path_;
    int fd_ = -1;
};

} // namespace bf::platform
