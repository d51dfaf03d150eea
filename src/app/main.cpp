// The program's entry point: installs the platform seams and runs the start-up routine, handing
// it the way to make the main window.
#include "platform/qt/QtSeams.h"
#include "startup/MainProc.h"
#include "ui/MainWindowHost.h"
#ifdef BRAKENFOLD_HAVE_CALC
#include "automation/calc/CalcApplication.h"
#endif

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brakenfold"));
    QApplication::setQuitOnLastWindowClosed(false);
    bf::platform::qt::QtSeams seams;
#ifdef BRAKENFOLD_HAVE_CALC
    bf::automation::calc::registerCalcBackend();
#endif
    bf::MainProc::Main([] { return std::make_unique<bf::ui::MainWindowHost>(); });
    return 0;
}
