#pragma once
// The split run from the command line: every command line that main() does not handle itself
// (--help, --list, --extract) comes here.
namespace bf::cli {
// Returns the process exit status.
int runMode(int argc, char** argv);
} // namespace bf::cli
