#pragma once
// A file without a name in the temporary folder, for a workbook made before it is saved: it
// goes when closed, whatever happens to the program, so nothing is left behind.
#include <QByteArray>
#include <QString>

namespace bf::platform {

class TempFile {
public:
    // Throws NewFileError (WriteFailed) with the system's reason when none can be made.
    explicit TempFile(const QString& folder);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    int descriptor() const { return fd_; }
    // A name of this very file for a reader that opens files by name.
    QString path() const;
    // The whole file. Throws NewFileError (WriteFailed) when it cannot be read.
    QByteArray readAll() const;
    // Whether it was given a name as a saved file: it is then copied, not linked, again.
    bool linked() const { return linked_; }
    void setLinked() { linked_ = true; }

private:
    int fd_ = -1;
    bool linked_ = false;
};

} // namespace bf::platform
