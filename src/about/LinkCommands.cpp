#include "about/LinkCommands.h"

#include "core/Error.h"
#include "startup/clsSetting.h"

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
