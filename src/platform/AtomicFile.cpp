#include "platform/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace bf::platform {

bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error, WriteFault fault)
{
    const bool existed = QFileInfo::exists(path);
    const QFileDevice::Permissions permissions = existed ? QFile::permissions(path) : QFileDevice::Permissions();
    QSaveFile out(path);
    out.setDirectWriteFallback(false);
    if (!out.open(QIODevice::WriteOnly)) {
        if (error)
            *error = out.errorString();
        return false;
    }
    QByteArray toWrite = data;
    const bool injectFault = fault.cuts(data.size());
    if (injectFault)
        toWrite.truncate(static_cast<qsizetype>(fault.afterBytes));
    if (out.write(toWrite) != toWrite.size() || injectFault) {
        out.cancelWriting();
        if (error)
            *error = injectFault ? QStringLiteral("No space left on device") : out.errorString();
        return false;
    }
    if (!out.commit()) {
        if (error)
            *error = out.errorString();
        return false;
    }
    if (existed)
        QFile::setPermissions(path, permissions);
    return true;
}

bool writeFreshFile(const QString& path, const QByteArray& data, QString* error, WriteFault fault)
{
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        if (error)
            *error = out.errorString();
        return false;
    }
    const bool injectFault = fault.cuts(data.size());
    const QByteArray toWrite = injectFault ? data.left(static_cast<qsizetype>(fault.afterBytes)) : data;
    const bool written = out.write(toWrite) == toWrite.size() && !injectFault && out.flush();
    if (!written && error)
        *error = injectFault ? QStringLiteral("No space left on device") : out.errorString();
    out.close();
    if (!written || out.error() != QFileDevice::NoError) {
        if (written && error)
            *error = out.errorString();
        out.remove();
        return false;
    }
    return true;
}

} // namespace bf::platform
