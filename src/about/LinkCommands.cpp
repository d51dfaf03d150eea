#include "about/LinkCommands.h"

#include "core/Error.h"
#include "startup/clsSetting.h"

#include <QDir>
#include <QFileInfo>

namespace bf::about {

namespace {

void openConfiguredValue(const AppContext& context, const char* key)
{
    QString value;
    // A missing key leaves the text empty, and the empty text is handed over all the same.
    context.store().GetSetting(QString::fromLatin1(key), value);
    platform::ShellSeam* shell = context.seams.shell;
    if (!shell)
        throw Error(err::ObjectVariableNotSet, QStringLiteral("no shell is available"));
    shell->open(value);
}

} // namespace

void VisitHomePage(const AppContext& context) { openConfiguredValue(context, kHomePageKey); }

void Support(const AppContext& context) { openConfiguredValue(context, kSupportEmailKey); }

QString HelpFilePath(const platform::Seams& seams)
{
    return platform::resolveBesideProgram(seams, QStringLiteral("\\help\\help.chm"));
}

} // namespace bf::about

namespace bf::about {

namespace {
// Handed to the shell only when the file exists and a program is registered for its kind.
bool opened(platform::ShellSeam& shell, const QString& file)
{
    return QFileInfo(file).isFile() && shell.hasHandlerFor(file) && shell.open(file);
}
} // namespace

QString HelpPagePath(const platform::Seams& seams, const QString& page)
{
    return platform::resolveBesideProgram(seams, QStringLiteral("/help/html/") + page);
}

void OpenHelp(const platform::Seams& seams, const QString& page)
{
    if (!seams.shell)
        throw Error(err::ObjectVariableNotSet, QStringLiteral("no shell is available"));
    const QString chm = HelpFilePath(seams);
    const QString html = HelpPagePath(seams, page);
    if (opened(*seams.shell, chm) || opened(*seams.shell, html))
        return;
    seams.msgBox(QStringLiteral("The help could not be opened: no program on this computer opens %1 or %2.")
                     .arg(QDir::toNativeSeparators(chm), QDir::toNativeSeparators(html)),
                 platform::MsgButtons::Ok, platform::MsgIcon::Information);
}

} // namespace bf::about
