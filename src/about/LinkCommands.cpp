#include "about/LinkCommands.h"

#include "platform/Seams.h"
#include "core/Error.h"
#include "startup/MainProc.h"

namespace bf::about {

namespace {

void openConfiguredValue(const char* key)
{
    clsSetting* setting = MainProc::Setting();
    if (!setting)
        throw Error(err::ObjectVariableNotSet, QStringLiteral("the configuration store is not available"));
    QString value;
    // A missing key leaves the text empty, and the empty text is handed over all the same.
    setting->GetSetting(QString::fromLatin1(key), value);
    platform::ShellSeam* shell = platform::seams().shell;
    if (!shell)
        throw Error(err::ObjectVariableNotSet, QStringLiteral("no shell is available"));
    shell->open(value);
}

} // namespace

void VisitHomePage() { openConfiguredValue(kHomePageKey); }

void Support() { openConfiguredValue(kSupportEmailKey); }

QString HelpFilePath() { return platform::resolveBesideProgram(QStringLiteral("\\help\\help.chm")); }

} // namespace bf::about
