#pragma once
// Every way the Open XML engine can refuse a package or an extraction, and the exception that
// carries it. The engine knows nothing of the program's error numbers: the layer above maps a
// status to one.
#include "core/StatusError.h"

#include <QString>
#include <cstdint>

namespace bf::xlsx {

enum class XlsxStatus : std::uint8_t {
    FileNotFound,       // no such file
    ReadFailed,         // the file exists but cannot be read
    NotZip,             // neither a zip package nor anything else we know
    DamagedZip,         // a zip whose directory or data is inconsistent
    Encrypted,          // a compound file holding an encrypted package
    LegacyBinary,       // an Excel 97-2003 compound file given to the Open XML engine
    BinaryWorkbook,     // an .xlsb package (binary parts)
    StrictConformance,  // a strict Open XML package (other namespaces)
    NoWorkbookPart,     // a zip without a workbook part
    DuplicatePartName,  // two zip entries naming one part
    RelationshipOutside,// a relationship that points outside the package
    EntityDeclaration,  // a document type declaration (entities are never expanded)
    PartTooLarge,       // a part inflating beyond the bound
    MalformedXml,       // a part that is not well-formed XML
    DamagedPart,        // well-formed XML that breaks the format's rules (a cell beyond the sheet)
    MissingPart,        // a relationship target that is not in the package
    NoSuchWorksheet,    // an index that names no worksheet
    OverlappingEntries, // two zip entries sharing bytes
    OutputFailed,       // the new package could not be written
};

// A short phrase for the status, e.g. "the workbook is password-protected".
QString statusText(XlsxStatus status);

// A refusal: the status and a detail "<reason>: <file and part>".
using XlsxError = StatusError<XlsxStatus>;

// Throws XlsxError; detail names what was being read (file and part).
[[noreturn]] void fail(XlsxStatus status, const QString& detail);

} // namespace bf::xlsx
