// The program's entry point: makes the platform seams and the backends and runs the start-up
// routine, handing it the way to make the main window.
#include "automation/BackendPlugin.h"
#include "platform/qt/QtSeams.h"
#include "startup/MainProc.h"
#include "ui/MainWindowHost.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brakenfold"));
    QApplication::setQuitOnLastWindowClosed(false);
    bf::platform::qt::QtSeams seams;
    bf::automation::Backends backends;
    bf::automation::addPluginBackends(backends, QCoreApplication::applicationDirPath());
    bf::MainProc::Main(seams.seams(), backends,
                       [](bf::AppContext& context) { return std::make_unique<bf::ui::MainWindowHost>(context); });
    return 0;
}
