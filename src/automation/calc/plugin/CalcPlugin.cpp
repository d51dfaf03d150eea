// The Calc backend as a plugin: the two entries the programs' loader looks up
// (automation/BackendPlugin.h). Everything else in the plugin stays hidden.
#include "automation/BackendPlugin.h"
#include "automation/calc/CalcApplication.h"

extern "C" {

__attribute__((visibility("default"))) int brakenfold_backend_interface()
{
    return bf::automation::kBackendInterface;
}

// Throws bf::Error when the office cannot be started; the caller owns the result.
__attribute__((visibility("default"))) bf::automation::SpreadsheetApplication*
brakenfold_create_application(const bf::platform::Seams& seams)
{
    return new bf::automation::calc::CalcApplication(seams);
}
}
