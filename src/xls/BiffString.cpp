#include "xls/BiffString.h"

#include "xls/ByteIO.h"

namespace bf::xls {

bool decodeChars(const std::uint8_t* p, std::size_t avail, std::size_t cch, bool wide, QString* out, std::size_t* used)
{
    const std::size_t bytes = cch * (wide ? 2 : 1);
    if (bytes > avail)
        return false;
    out->resize(static_cast<qsizetype>(cch));
    QChar* d = out->data();
    for (std::size_t i = 0; i < cch; ++i)
        d[i] = QChar(wide ? rd16(p + 2 * i) : p[i]);
    *used = bytes;
    return true;
}

bool decodeShortXLUnicodeString(const std::uint8_t* p, std::size_t avail, QString* out, std::size_t* used)
{
    if (avail < 2)
        return false;
    std::size_t n = 0;
    if (!decodeChars(p + 2, avail - 2, p[0], (p[1] & 1) != 0, out, &n))
        return false;
    *used = 2 + n;
    return true;
}

bool decodeXLUnicodeString(const std::uint8_t* p, std::size_t avail, QString* out, std::size_t* used)
{
    if (avail < 3)
        return false;
    std::size_t n = 0;
    if (!decodeChars(p + 3, avail - 3, rd16(p), (p[2] & 1) != 0, out, &n))
        return false;
    *used = 3 + n;
    return true;
}

void appendUnicodeString(std::vector<std::uint8_t>& out, const QString& s, bool withCount)
{
    bool wide = false;
    for (QChar c : s)
        wide = wide || c.unicode() > 0xFF;
    if (withCount) {
        out.push_back(static_cast<std::uint8_t>(s.size()));
        out.push_back(static_cast<std::uint8_t>(s.size() >> 8));
    }
    out.push_back(wide ? 1 : 0);
    for (QChar c : s) {
        out.push_back(static_cast<std::uint8_t>(c.unicode()));
        if (wide)
            out.push_back(static_cast<std::uint8_t>(c.unicode() >> 8));
    }
}

} // namespace bf::xls
