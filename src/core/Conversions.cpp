#include "core/Conversions.h"

#include "core/Error.h"

#include <QRegularExpression>

namespace bf {

std::optional<double> parseNumber(const QString& text)
{
    // Blanks around the number are allowed, none inside it.
    static const QRegularExpression number(
        QStringLiteral("^[ \\t]*([+-]?(?:[0-9]+\\.?[0-9]*|\\.[0-9]+)(?:[eE][+-]?[0-9]+)?)[ \\t]*$"));
    const QRegularExpressionMatch m = number.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = m.captured(1).toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

bool IsNumeric(const QString& text) { return parseNumber(text).has_value(); }

bool CBool(const QString& text)
{
    if (const auto value = parseNumber(text))
        return *value != 0.0;
    if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    raise(err::TypeMismatch);
}

} // namespace bf
