#pragma once
#include "platform/Seams.h"

#include <QString>

namespace bf {
// The program's version as major.minor.revision ("1.0.5"); on a failure the "GetVersionString"
// report is shown and the text is empty.
QString GetVersionString(const platform::Seams& seams);
} // namespace bf
