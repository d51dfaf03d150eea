#pragma once
// Path text helpers: pure text work, no file-system access.
#include <QString>

namespace bf {
// Path unchanged when it ends in the native separator, otherwise Path followed by it.
QString AppendBackslash(const QString& Path);
// Whether a file name ends in ".xlsx" or ".xlsm" in any letter case: an Open XML workbook's name.
bool HasOpenXmlEnding(const QString& fileName);
} // namespace bf
