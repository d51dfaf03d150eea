#include "startup/CommonDefine.h"

#include "platform/Seams.h"
#include "core/Error.h"

namespace bf {

QString BrowseFolder(const QString& Title)
{
    auto* chooser = platform::seams().folderChooser;
    if (!chooser)
        throw Error(err::ObjectVariableNotSet, QStringLiteral("no folder chooser available"));
    return chooser->browseForFolder(Title);
}

} // namespace bf
