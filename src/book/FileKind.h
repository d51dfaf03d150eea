#pragma once
// What a workbook file is, told from its bytes: the one place that tells the formats apart, and
// the one sentence that names each kind when a backend refuses it.
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>

namespace bf::book {

class CfbFile;

enum class FileKind : std::uint8_t {
    Biff8,            // an Excel 97-2003 workbook: a compound file with a BIFF8 workbook stream
    Biff5,            // an Excel 5.0/95 workbook (BIFF5/BIFF7)
    EncryptedXls,     // an Excel 97-2003 or 5.0/95 workbook with a password (FILEPASS, rights management)
    EncryptedOpenXml, // a password-protected Open XML workbook (EncryptionInfo, EncryptedPackage)
    OtherCompound,    // a compound file holding no workbook stream
    DamagedCompound,  // a compound file whose container or workbook stream cannot be read as either
    OpenXml,          // a zip package (.xlsx, .xlsm)
    Xlsb,             // a zip package whose workbook part is binary (.xlsb)
    OpenDocument,     // an OpenDocument package
    OldBiff,          // an Excel 2.x-4.0 file
    Html,
    Xml,
    Text,
    Empty,
    Unknown,
};

// The reason a backend gives when it refuses a file of that kind ("it is …").
QString describe(FileKind kind);

// The kind, and the compound-file container opened to tell it (null when there is none, with
// the container's problem when it could not be read).
struct Sniffed {
    FileKind kind = FileKind::Unknown;
    std::unique_ptr<CfbFile> container;
    QString containerProblem;
};

// A file given whole in memory.
Sniffed sniffBytes(const QByteArray& bytes);
// A file on disk: its first 512 bytes, and a path the containers are opened by.
Sniffed sniffFile(const QByteArray& head, const QString& openablePath);

} // namespace bf::book
