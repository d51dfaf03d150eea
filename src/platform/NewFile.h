#pragma once
// Writing a workbook to its own new file: an existing file is never replaced unless asked, and
// a failure leaves no part of the file behind.
#include "platform/AtomicFile.h"
#include "core/StatusError.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace bf::platform {

class TempFile;

enum class NewFileStatus : std::uint8_t {
    AlreadyExists, // a file of that name exists (or appeared while writing)
    IsFolder,      // a folder stands at that name
    FolderMissing, // the folder it would go in does not exist
    WriteFailed,   // the file system refused or ran out of space
};

// Its detail names the file and the reason.
using NewFileError = StatusError<NewFileStatus>;

// Writes bytes as the file target through a temporary file in the same folder. Without replace
// an existing target is refused, even one that appears meanwhile; with replace it is replaced
// as a whole. fault makes a write fail on purpose (tests). Throws NewFileError.
void writeNewFile(const QString& target, const QByteArray& bytes, bool replace, WriteFault fault = {});
// The same with the content of a temporary file, given its name where it can be (the first time
// only, on the same file system), copied otherwise.
void writeNewFile(const QString& target, TempFile& content, bool replace, WriteFault fault = {});

} // namespace bf::platform
