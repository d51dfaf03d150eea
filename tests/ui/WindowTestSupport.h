#pragma once
// What the window tests share: a private application folder with the real icons and help file,
// the fake seams, a private configuration and the scripted spreadsheet application installed as
// the window's context.
#include "startup/AppContext.h"
#include "support/FakeSeams.h"
#include "support/FakeSpreadsheet.h"
#include "support/TempDir.h"
#include "support/TestPaths.h"
#include "tasklist/TaskListTestSupport.h"

#include <QDir>
#include <QFile>
#include <memory>

namespace bf::test {

// Copies the committed icon and help files into folder (Icon/, help/).
inline void layOutAppFolder(const QString& folder)
{
    for (const char* sub : {"Icon", "help"}) {
        const QString from = sourceDir() + QStringLiteral("/assets/") + QString::fromLatin1(sub);
        const QString to = folder + '/' + QString::fromLatin1(sub);
        QDir().mkpath(to);
        for (const QString& name : QDir(from).entryList(QDir::Files))
            QFile::copy(from + '/' + name, to + '/' + name);
    }
}

class WindowEnvironment {
public:
    explicit WindowEnvironment(const QStringList& configLines = standardConfigLines())
        : config(context, configLines)
    {
        layOutAppFolder(appFolder.path());
        seams.appInfo.folder = appFolder.path();
        context.application = &spreadsheet;
    }
    WindowEnvironment(const WindowEnvironment&) = delete;
    WindowEnvironment& operator=(const WindowEnvironment&) = delete;

    QString iconFile(const QString& name) const { return appFolder.path() + QStringLiteral("/Icon/") + name; }

    TempDir appFolder;
    FakeSeams seams;
    AppContext context{seams};
    InstalledConfig config;
    FakeSpreadsheet spreadsheet;
};

} // namespace bf::test
