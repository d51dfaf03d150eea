#pragma once
// Where brakenfold-split's passwords come from: a password file (one a line) and, when
// standard input is a terminal, a prompt that does not show what is typed. Never the command
// line, which other users can read.
#include "automation/Keyring.h"
#include "cli/CommandLine.h"

namespace bf::cli {

// Fills the keyring from the command line's password file and sets the prompt when there is a
// terminal. Returns why the password file cannot be read, or "".
QString preparePasswords(const CommandLine& cl, automation::Keyring& keyring);

} // namespace bf::cli
