#pragma once
// The file-name rules that every backend's SaveAs shares.
#include "platform/Seams.h"

#include <QString>

namespace bf::automation {

struct SaveAsTarget {
    QString path;         // absolute, trailing blanks trimmed
    bool replace = false; // the user agreed to replace an existing file
};

// Trims the blanks that end fileName (no file name ends in one) and makes it absolute. An existing
// file is never replaced silently: with displayAlerts on the user is asked (No is the default),
// otherwise, or on No, the save fails with error 1004; so does a folder of that name, an empty
// name, and a folder that does not exist.
SaveAsTarget resolveSaveAsTarget(const platform::Seams& seams, const QString& fileName, bool displayAlerts);

} // namespace bf::automation
