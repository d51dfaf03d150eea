#pragma once
// The program's text-to-number and text-to-Boolean conversions, one shared parser for both.
#include <QString>
#include <optional>

namespace bf {
// The numeric test: blanks around a number allowed; "1", "01", " 1", "1.0", "+1" are numbers;
// "", "True", "1x", "1 2" are not. Returns the value when it is a number.
std::optional<double> parseNumber(const QString& text);
bool IsNumeric(const QString& text);
// Text to Boolean: a number is True unless it is 0; "True"/"False" in any letter case;
// anything else throws Error 13 (type mismatch).
bool CBool(const QString& text);
} // namespace bf
