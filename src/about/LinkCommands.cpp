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
    // Named in full, so that the user can open it by hand.
    const platform::OpenFailed sayNotOpened = [&seams = context.seams, value] {
        seams.msgBox(QStringLiteral("The address could not be opened: no program on this computer opens \"%1\".")
                         .arg(value),
                     platform::MsgButtons::Ok, platform::MsgIcon::Information);
    };
    if (!shell->open(value, sayNotOpened))
        sayNotOpened();
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
bool opened(platform::ShellSeam& shell, const QString& file, const platform::OpenFailed& failed)
{
    return QFileInfo(file).isFile() && shell.hasHandlerFor(file) && shell.open(file, failed);
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
    // Each file's opener may find out only later that nothing takes it: then the next is tried.
    const platform::OpenFailed sayNotOpened = [&seams, chm, html] {
        seams.msgBox(QStringLiteral("The help could not be opened: no program on this computer opens %1 or %2.")
                         .arg(QDir::toNativeSeparators(chm), QDir::toNativeSeparators(html)),
                     platform::MsgButtons::Ok, platform::MsgIcon::Information);
    };
    const platform::OpenFailed openPage = [&seams, html, sayNotOpened] {
        if (!opened(*seams.shell, html, sayNotOpened))
            sayNotOpened();
    };
    if (!opened(*seams.shell, chm, openPage))
        openPage();
}

} // namespace bf::about
