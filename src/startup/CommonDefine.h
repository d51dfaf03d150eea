#pragma once
// The shared folder chooser call. It catches nothing: failures reach the caller's handler.
#include <QString>

namespace bf {
// A folder chooser with Title as its prompt; "" when the user cancels.
QString BrowseFolder(const QString& Title);
} // namespace bf
