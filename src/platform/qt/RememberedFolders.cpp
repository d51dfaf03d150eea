#include "platform/qt/RememberedFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace bf::platform::qt {

namespace {
const QString kGroup = QStringLiteral("LastPicked");
}

QString RememberedFolders::userFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/brakenfold/folders.conf");
}

QString RememberedFolders::startFor(const QString& chooser) const
{
    QSettings settings(file_, QSettings::IniFormat);
    settings.beginGroup(kGroup);
    const QString folder = settings.value(chooser).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QDir::homePath();
}

void RememberedFolders::remember(const QString& chooser, const QString& folder) const
{
    // Written at once: the pick holds even when the program does not end normally. A settings
    // file that cannot be written only loses the memory.
    QSettings settings(file_, QSettings::IniFormat);
    settings.beginGroup(kGroup);
    settings.setValue(chooser, folder);
    settings.endGroup();
    settings.sync();
}

} // namespace bf::platform::qt
