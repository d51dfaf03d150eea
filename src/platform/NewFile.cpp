#include "platform/NewFile.h"

#include "platform/AtomicFile.h"
#include "platform/TempFile.h"

#include <QFileInfo>

#include <cerrno>

namespace bf::platform {

namespace {

template <class Write>
void writeChecked(const QString& target, bool replace, Write write)
{
    const QFileInfo info(target);
    if (info.exists() && !replace)
        throw NewFileError(NewFileStatus::AlreadyExists, QStringLiteral("'%1' already exists").arg(target));
    if (info.isDir())
        throw NewFileError(NewFileStatus::IsFolder, QStringLiteral("'%1' is a folder").arg(target));
    const QString folder = info.absolutePath();
    if (!QFileInfo(folder).isDir())
        throw NewFileError(NewFileStatus::FolderMissing, QStringLiteral("the folder of '%1' does not exist").arg(target));
    WriteFailure failure;
    const auto mode = replace ? WriteMode::Replace : WriteMode::NewFile;
    if (write(mode, &failure))
        return;
    if (failure.code == EEXIST && !replace)
        throw NewFileError(NewFileStatus::AlreadyExists, QStringLiteral("'%1' already exists").arg(target));
    throw NewFileError(NewFileStatus::WriteFailed, QStringLiteral("'%1' could not be written: %2").arg(target, failure.reason));
}

} // namespace

void writeNewFile(const QString& target, const QByteArray& bytes, bool replace, WriteFault fault)
{
    writeChecked(target, replace, [&](WriteMode mode, WriteFailure* failure) {
        return writeWholeFile(target, bytes, mode, fault, failure);
    });
}

void writeNewFile(const QString& target, TempFile& content, bool replace, WriteFault fault)
{
    writeChecked(target, replace, [&](WriteMode mode, WriteFailure* failure) {
        bool linked = false;
        const bool done = writeWholeFileFrom(target, content.descriptor(), !content.linked(), mode, fault, failure, &linked);
        if (linked)
            content.setLinked();
        return done;
    });
}

} // namespace bf::platform
