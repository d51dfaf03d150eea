#include "xls/FileKind.h"

#include "xls/ByteIO.h"
#include "xls/RecordIds.h"

namespace bf::xls {

namespace {
// A record stream of Excel 2.x-4.0: a BOF of those versions (some writers leave the id's low
// byte 0) with a short size.
bool isOldBiff(const QByteArray& head)
{
    if (head.size() < 4 || static_cast<std::uint8_t>(head[2]) >= 0x20)
        return false;
    const std::uint16_t id = rd16(reinterpret_cast<const std::uint8_t*>(head.constData()));
    for (std::uint16_t bof : {rt::BofBiff2, rt::BofBiff3, rt::BofBiff4, rt::Bof})
        if (id == bof || id == (bof & 0xFF00))
            return true;
    return false;
}
} // namespace

QString describeNonCompound(const QByteArray& head)
{
    if (head.isEmpty())
        return QStringLiteral("the file is empty");
    if (head.startsWith("PK\x03\x04"))
        return QStringLiteral("it is a zip file (an Excel 2007 or later workbook?)");
    if (isOldBiff(head))
        return QStringLiteral("it is an Excel 2.x-4.0 file, which is not supported");
    QByteArray lower = head.left(512).toLower();
    if (lower.startsWith("\xef\xbb\xbf"))
        lower = lower.mid(3);
    lower = lower.trimmed();
    if (lower.contains("<html") || lower.contains("<!doctype html") || lower.contains("<table"))
        return QStringLiteral("it is an HTML file");
    if (lower.startsWith("<?xml") || lower.startsWith("<"))
        return QStringLiteral("it is an XML file");
    return QStringLiteral("not a compound file");
}

} // namespace bf::xls
