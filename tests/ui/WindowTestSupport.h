#pragma once
// What the window tests share: a private application folder with the committed icons and help
// file, the fake seams, a private configuration and the scripted spreadsheet application.
#include "startup/AppContext.h"
#include "support/FakeSeams.h"
#include "support/FakeSpreadsheet.h"
#include "support/TempDir.h"
#include "support/TestPaths.h"
#include "support/ConfigFixture.h"

#include <QDir>
#include <QFile>

namespace bf::test {

class WindowEnvironment {
public:
    explicit WindowEnvironment(const QStringList& lines = standardConfigLines()) : config(context, lines)
    {
        for (const QString sub : {"Icon", "help"}) {
            const QString from = sourceDir() + QStringLiteral("/assets/") + sub, to = appFolder.path() + '/' + sub;
            QDir().mkpath(to);
            for (const QString& name : QDir(from).entryList(QDir::Files))
                QFile::copy(from + '/' + name, to + '/' + name);
        }
        seams.appInfo.folder = appFolder.path();
        context.application = &spreadsheet;
    }
    TempDir appFolder;
    FakeSeams seams;
    AppContext context{seams};
    InstalledConfig config;
    FakeSpreadsheet spreadsheet;
};

} // namespace bf::test
