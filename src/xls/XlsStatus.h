#pragma once
// Every way the engine can refuse a workbook or a worksheet, and the exception that carries it.
// The engine knows nothing of the program's error numbers: the layer above maps a status to one.
#include "core/StatusError.h"

#include <QString>
#include <cstdint>

namespace bf::xls {

enum class XlsStatus : std::uint8_t {
    FileNotFound,     // no file at that path
    NotAFile,         // a folder stands at that path
    Unreadable,       // the file exists but cannot be read
    NotCompoundFile,  // not a compound file: some other kind of file
    NoWorkbookStream, // a compound file without a workbook stream
    Encrypted,        // password-protected or rights-managed
    NotBiff8,         // an Excel 5.0/95 workbook
    Damaged,          // the container or a record is broken
    NotAWorksheet,    // the sheet asked for is a chart, a module or another kind
    CannotCopy,       // the worksheet holds something its copy cannot carry
    OutputFailed,     // the new workbook could not be assembled
};

// A short phrase for the status, e.g. "the workbook is password-protected".
QString toText(XlsStatus status);

// A refusal: the status and a detail that names the file and the reason.
using XlsError = StatusError<XlsStatus>;

} // namespace bf::xls
