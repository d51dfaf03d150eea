#pragma once
// The split run from the command line: every command line that is not --help, --version, --list
// or --extract.
#include "automation/ApplicationFactory.h"
#include "cli/CommandLine.h"

namespace bf::cli {
// Returns the process exit status: 0 every input listed and split, 1 the run failed or, with
// --keep-going, a worksheet failed (the reports are on standard error), 2 the run completed but
// an input could not be listed.
int runMode(const automation::Backends& backends, const CommandLine& cl);
} // namespace bf::cli
