#pragma once
// Where brakenfold-split's passwords come from: a password file (one a line) and, when
// standard input is a terminal, a prompt that does not show what is typed. Never the command
// line, which other users can read.
#include "automation/Keyring.h"
#include "cli/CommandLine.h"

#include <memory>
#include <mutex>

namespace bf::cli {

// Fills the keyring from the command line's password file and sets the prompt when there is a
// terminal. Returns why the password file cannot be read, or "".
QString preparePasswords(const CommandLine& cl, automation::Keyring& keyring);

// A keyring for one job of a split in jobs: the passwords the run's keyring knows, and the prompt
// when there is a terminal, one job at a time (promptTurn).
std::unique_ptr<automation::Keyring> jobKeyring(const automation::Keyring& run, std::mutex& promptTurn);

} // namespace bf::cli
