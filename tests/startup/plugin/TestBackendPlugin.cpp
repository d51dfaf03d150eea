// A backend plugin for Main's start, built once for this program's plugin interface and once
// for the next one. Its application never starts, so a start that gets as far as asking for it
// ends in the message of a backend that cannot start.
#include "automation/BackendPlugin.h"

#include <stdexcept>

extern "C" {
__attribute__((visibility("default"))) int brakenfold_backend_interface()
{
    return bf::automation::kBackendInterface + TEST_PLUGIN_INTERFACE_OFFSET;
}

__attribute__((visibility("default"))) bf::automation::SpreadsheetApplication*
brakenfold_create_application(const bf::platform::Seams&)
{
    throw std::runtime_error("the test plugin's application does not start");
}
}
