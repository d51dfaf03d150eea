#include "automation/BackendPlugin.h"

#include <QFileInfo>
#include <QLibrary>

namespace bf::automation {

namespace {

[[noreturn]] void notInstalled(const QString& name, const QString& why)
{
    throw BackendNotInstalled(err::SpreadsheetFailure,
                              QStringLiteral("The spreadsheet application \"%1\" is not available: %2. Install the "
                                             "package %3, or set SpreadsheetApplication=native in Config.cfg.")
                                  .arg(name, why, backendPackage(name)));
}

std::unique_ptr<SpreadsheetApplication> loadPlugin(const QString& name, const QString& file,
                                                   const platform::Seams& seams)
{
    if (!QFileInfo(file).isFile())
        notInstalled(name, QStringLiteral("%1 is missing").arg(file));
    // Never unloaded: the application and its workbooks run the plugin's code until the end.
    QLibrary library(file);
    if (!library.load())
        notInstalled(name, QStringLiteral("%1 cannot be loaded (%2)").arg(file, library.errorString()));
    const auto interface =
        reinterpret_cast<BrakenfoldBackendInterfaceFn>(library.resolve("brakenfold_backend_interface"));
    const auto create =
        reinterpret_cast<BrakenfoldCreateApplicationFn>(library.resolve("brakenfold_create_application"));
    if (!interface || !create || interface() != kBackendInterface)
        notInstalled(name, QStringLiteral("%1 belongs to another version of the program").arg(file));
    return std::unique_ptr<SpreadsheetApplication>(create(seams));
}

} // namespace

QString backendPackage(const QString& name) { return QStringLiteral("brakenfold-") + name; }

void addPluginBackends(Backends& backends, const QString& programFolder)
{
    const QString name = QStringLiteral("calc");
    const QString file = programFolder + QStringLiteral("/plugins/lib") + backendPackage(name) + QStringLiteral(".so");
    backends.add(name, [name, file](const platform::Seams& seams) { return loadPlugin(name, file, seams); });
}

QString runningProgramFolder() { return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath(); }

} // namespace bf::automation
