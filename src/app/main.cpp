// The program's entry point: answers --help and --version on the terminal, or makes the platform
// seams and the backends and runs the start-up routine, handing it the way to make the main window.
#include "automation/BackendPlugin.h"
#include "platform/Memory.h"
#include "platform/qt/QtSeams.h"
#include "startup/MainProc.h"
#include "startup/TerminalOptions.h"
#include "ui/MainWindowHost.h"

#include <QApplication>
#include <QFileInfo>

int main(int argc, char** argv)
{
    if (const std::optional<int> status = bf::answerOnTerminal(argc, argv))
        return *status;
    bf::platform::reuseLargeBuffers();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brakenfold"));
    QApplication::setQuitOnLastWindowClosed(false);
    bf::platform::qt::QtSeams seams;
    bf::automation::Backends backends;
    bf::automation::addPluginBackends(backends, QCoreApplication::applicationDirPath());
    // brakenfold [FILE|FOLDER]...: each is added as Add File or Add Folder adds it.
    QStringList paths;
    for (const QString& argument : QCoreApplication::arguments().mid(1))
        paths << QFileInfo(argument).absoluteFilePath();
    bf::MainProc::Main(seams.seams(), backends, [&paths](bf::AppContext& context) {
        return std::make_unique<bf::ui::MainWindowHost>(context, paths);
    });
    return 0;
}
