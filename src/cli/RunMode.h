#pragma once
// The split run from the command line: every command line that main() does not handle itself
// (--help, --list, --extract) comes here.
#include "automation/ApplicationFactory.h"

namespace bf::cli {
// Returns the process exit status: 0 every input listed and split, 1 the run failed or, with
// --keep-going, a worksheet failed (the reports are on standard error), 2 the run completed but
// an input could not be listed, or a wrong command line.
int runMode(const automation::Backends& backends, int argc, char** argv);

// The run mode's part of the --help text.
const char* runModeHelp();
} // namespace bf::cli
