#pragma once
// The bytes of a package: held in memory (a decrypted package), or a plain file read in bounded
// pieces where they are needed, so a large workbook is never held whole. A file that is written
// (its size or modification time changes), or ends early, after it was opened is refused as
// damaged: a part copied with its compressed bytes is read again after its check.
#include "platform/InputFile.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>

namespace bf::xlsx {

class PackageBytes {
public:
    PackageBytes(QByteArray bytes, QString displayName);
    // Throws XlsxError (ReadFailed) when its size cannot be told.
    PackageBytes(std::unique_ptr<platform::InputFile> file, QString displayName);
    ~PackageBytes();
    PackageBytes(const PackageBytes&) = delete;
    PackageBytes& operator=(const PackageBytes&) = delete;

    // The bytes held in memory (null for a file), and a name of the file for a library that
    // opens files by name (empty for bytes held).
    const QByteArray& held() const { return bytes_; }
    QString filePath() const;
    // The size when opened.
    std::uint64_t size() const { return size_; }
    // Up to n bytes at offset, fewer only where the package ends; from memory not copied.
    // Throws XlsxError: ReadFailed, DamagedZip naming `detail` when the file changed.
    QByteArray readUpTo(std::uint64_t offset, std::uint64_t n, const QString& detail) const;
    // Exactly n bytes at offset; DamagedZip naming `detail` when the package ends first.
    QByteArray read(std::uint64_t offset, std::uint64_t n, const QString& detail) const;
    // Writes n bytes at offset to the file open as `to`, at its position, file to file where
    // they lie in a file. False with errno set when writing fails; throws as read().
    bool copyTo(std::uint64_t offset, std::uint64_t n, int to, const QString& detail) const;

private:
    void requireUnchanged(const QString& detail) const;

    QByteArray bytes_;
    std::unique_ptr<platform::InputFile> file_;
    QString displayName_;
    std::uint64_t size_ = 0;
    platform::FileState opened_; // of the file, when opened
};

} // namespace bf::xlsx
