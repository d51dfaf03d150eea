#include "startup/CommonDefine.h"

#include "platform/Seams.h"
#include "startup/BfError.h"

#include <QDir>

namespace bf {

QString BrowseFolder(const QString& Title)
{
    auto* chooser = platform::seams().folderChooser;
    if (!chooser)
        throw Error(err::ObjectVariableNotSet, QStringLiteral("no folder chooser available"));
    return chooser->browseForFolder(Title);
}

QString AppendBackslash(const QString& Path)
{
    const QChar separator = QDir::separator();
    if (!Path.isEmpty() && Path.back() == separator)
        return Path;
    return Path + separator;
}

} // namespace bf
