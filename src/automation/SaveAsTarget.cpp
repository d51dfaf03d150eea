#include "automation/SaveAsTarget.h"

#include "platform/Seams.h"
#include "core/Error.h"

#include <QDir>
#include <QFileInfo>

namespace bf::automation {

namespace {
[[noreturn]] void refuse(const QString& why) { throw Error(err::SpreadsheetFailure, why); }
} // namespace

SaveAsTarget resolveSaveAsTarget(const platform::Seams& seams, const QString& fileName, bool displayAlerts)
{
    QString trimmed = fileName;
    while (trimmed.endsWith(QLatin1Char(' ')))
        trimmed.chop(1);
    if (trimmed.isEmpty())
        refuse(QStringLiteral("'%1' is no file name").arg(fileName));
    SaveAsTarget target;
    target.path = QDir::cleanPath(QFileInfo(trimmed).absoluteFilePath());
    const QFileInfo info(target.path);
    if (info.isDir())
        refuse(QStringLiteral("'%1' cannot be saved: a folder has that name").arg(target.path));
    if (!info.dir().exists())
        refuse(QStringLiteral("'%1' cannot be saved: the folder does not exist").arg(target.path));
    if (info.exists()) {
        target.replace =
            displayAlerts &&
            seams.msgBox(QStringLiteral("A file named '%1' already exists in this location. Do you want to replace it?")
                             .arg(info.fileName()),
                         platform::MsgButtons::YesNo, platform::MsgIcon::Question,
                         platform::MsgDefault::Second) == platform::MsgResult::Yes;
        if (!target.replace)
            refuse(QStringLiteral("'%1' cannot be saved: the file already exists").arg(target.path));
    }
    return target;
}

} // namespace bf::automation
