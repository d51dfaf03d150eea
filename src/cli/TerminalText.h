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
} // namespace bf::cli
