#include "startup/ConfigLocation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <unistd.h>

namespace bf {

ConfigPaths ChooseConfigPaths(const QString& installedFile, bool folderWritable, const QString& userFile)
{
    if (folderWritable)
        return {installedFile, installedFile};
    return {QFileInfo::exists(userFile) ? userFile : installedFile, userFile};
}

QString UserConfigFile(const QString& xdgConfigHome, const QString& home)
{
    const QString base = QDir::isAbsolutePath(xdgConfigHome) ? xdgConfigHome : home + QStringLiteral("/.config");
    return QDir::cleanPath(base + QStringLiteral("/brakenfold/Config.cfg"));
}

ConfigPaths ConfigPathsForThisUser(const QString& installedFile)
{
    // access() asks with this process's real identity, as the write-back will be made.
    const QByteArray folder = QFile::encodeName(QFileInfo(installedFile).absolutePath());
    const bool writable = ::access(folder.constData(), W_OK) == 0;
    return ChooseConfigPaths(installedFile, writable,
                             UserConfigFile(qEnvironmentVariable("XDG_CONFIG_HOME"), QDir::homePath()));
}

} // namespace bf
