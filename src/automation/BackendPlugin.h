#pragma once
// Backends that live in a plugin in the application folder's plugins/, loaded only when the
// configuration or the command line asks for them, so that the programs never link the office.
#include "automation/ApplicationFactory.h"
#include "core/Error.h"

namespace bf::automation {

// The plugin of a backend is missing, cannot be loaded, or belongs to another version of the
// program. The description says which and names the package that brings it.
class BackendNotInstalled : public Error {
public:
    using Error::Error;
};

// Changed whenever SpreadsheetApplication.h or platform/Seams.h changes shape, so that a plugin
// built for another version is refused instead of called.
inline constexpr int kBackendInterface = 1;

// The package that brings the plugin of backend name ("brakenfold-calc").
QString backendPackage(const QString& name);

// Adds the backends whose plugins may be installed in programFolder/plugins/ (today: calc).
// Nothing is loaded until one of them is created.
void addPluginBackends(Backends& backends, const QString& programFolder);

// The folder that holds the running program file.
QString runningProgramFolder();

} // namespace bf::automation

// What a backend plugin exports, under C names so that the loader can look them up.
extern "C" {
using BrakenfoldBackendInterfaceFn = int (*)();
using BrakenfoldCreateApplicationFn = bf::automation::SpreadsheetApplication* (*)(const bf::platform::Seams&);
}
