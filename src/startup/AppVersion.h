#pragma once
#include <QString>

namespace bf {
// The program's version as major.minor.revision ("1.0.5"); on a failure the "GetVersionString"
// report is shown and the text is empty.
QString GetVersionString();
} // namespace bf
