#pragma once
// The options the windowed program answers on the terminal: -h/--help and -V/--version. They are
// read before any window system is touched, so they answer with a display or without one.
#include <optional>

namespace bf {

// When the arguments ask for help or the version (the first asked wins), prints the answer on
// standard output and returns the exit status; otherwise returns nothing and the program starts.
// Any other argument is left to the window system and the task list, as before.
std::optional<int> answerOnTerminal(int argc, char** argv);

} // namespace bf
