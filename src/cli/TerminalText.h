#pragma once
// Text from a workbook (sheet names, paths) goes to a terminal: control characters in it could
// move the cursor or retitle the window, so they are shown as "?".
#include <QString>

namespace bf::cli {
inline QString printable(QString text, bool keepLineBreaks)
{
    for (QChar& c : text) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && !(keepLineBreaks && u == u'\n')) || (u >= 0x7f && u < 0xa0))
            c = QLatin1Char('?');
    }
    return text;
}

// One field of a --list line, so that each line is one worksheet and can be read back: a
// backslash becomes \\, a tab \t, a line feed \n, a carriage return \r, and any other control
// character \xHH (its code in two hex digits).
inline QString escapedField(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\\')
            out += QLatin1String("\\\\");
        else if (u == u'\t')
            out += QLatin1String("\\t");
        else if (u == u'\n')
            out += QLatin1String("\\n");
        else if (u == u'\r')
            out += QLatin1String("\\r");
        else if (u < 0x20 || (u >= 0x7f && u < 0xa0))
            out += QStringLiteral("\\x%1").arg(static_cast<int>(u), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}
} // namespace bf::cli
