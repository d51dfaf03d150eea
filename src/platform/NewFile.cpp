#include "platform/NewFile.h"

#include "platform/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace bf::platform {

void writeNewFile(const QString& target, const QByteArray& bytes, bool replace, WriteFault fault)
{
    const QFileInfo info(target);
    if (info.exists() && !replace)
        throw NewFileError(NewFileStatus::AlreadyExists, QStringLiteral("'%1' already exists").arg(target));
    if (info.isDir())
        throw NewFileError(NewFileStatus::IsFolder, QStringLiteral("'%1' is a folder").arg(target));
    const QString folder = info.absolutePath();
    if (!QFileInfo(folder).isDir())
        throw NewFileError(NewFileStatus::FolderMissing, QStringLiteral("the folder of '%1' does not exist").arg(target));
    QString error;
    if (replace) {
        // The bytes go to a temporary file in the target's folder that is renamed when complete.
        if (!writeFileAtomically(target, bytes, &error, fault))
            throw NewFileError(NewFileStatus::WriteFailed, QStringLiteral("'%1' could not be written: %2").arg(target, error));
        return;
    }
    // A complete temporary file under a private name is linked to the target name, which fails
    // when a file of that name appeared meanwhile: an existing file is never replaced, even by
    // a race with another writer.
    const QString temp = QStringLiteral("%1/.%2.%3.part")
                             .arg(folder, info.fileName(), QString::number(QRandomGenerator::global()->generate64(), 36));
    // No wait for the disk per file: a split writes hundreds of them, and the link below puts a
    // file under its real name only once all of it was written.
    if (!writeFreshFile(temp, bytes, &error, fault)) {
        QFile::remove(temp);
        throw NewFileError(NewFileStatus::WriteFailed, QStringLiteral("'%1' could not be written: %2").arg(target, error));
    }
    const QByteArray from = QFile::encodeName(temp), to = QFile::encodeName(target);
    if (::link(from.constData(), to.constData()) == 0) {
        QFile::remove(temp);
        return;
    }
    const int why = errno;
    if (why == EEXIST) {
        QFile::remove(temp);
        throw NewFileError(NewFileStatus::AlreadyExists, QStringLiteral("'%1' already exists").arg(target));
    }
    // A file system without hard links: a rename, after the check above.
    if (QFileInfo::exists(target) || std::rename(from.constData(), to.constData()) != 0) {
        QFile::remove(temp);
        throw NewFileError(NewFileStatus::WriteFailed, QStringLiteral("'%1' could not be written: %2").arg(target, QString::fromLocal8Bit(std::strerror(why))));
    }
}

} // namespace bf::platform
