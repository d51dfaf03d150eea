#pragma once
// The two shared path routines. Neither catches anything: failures reach the caller's handler.
#include <QString>

namespace bf {
// A folder chooser with Title as its prompt; "" when the user cancels.
QString BrowseFolder(const QString& Title);
// Path unchanged when it ends in the native separator, otherwise Path followed by it.
QString AppendBackslash(const QString& Path);
} // namespace bf
