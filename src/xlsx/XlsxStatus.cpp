#include "xlsx/XlsxStatus.h"

namespace bf::xlsx {

QString statusText(XlsxStatus status)
{
    switch (status) {
    case XlsxStatus::FileNotFound: return QStringLiteral("file not found");
    case XlsxStatus::ReadFailed: return QStringLiteral("the file cannot be read");
    case XlsxStatus::NotZip: return QStringLiteral("not an Excel workbook: not a zip package");
    case XlsxStatus::DamagedZip: return QStringLiteral("the zip package is damaged");
    case XlsxStatus::Encrypted: return QStringLiteral("the workbook is password-protected");
    case XlsxStatus::LegacyBinary:
        return QStringLiteral("not an Open XML workbook: an Excel 97-2003 compound file");
    case XlsxStatus::BinaryWorkbook:
        return QStringLiteral("an Excel binary workbook (.xlsb) is not supported");
    case XlsxStatus::StrictConformance:
        return QStringLiteral("a strict Open XML workbook is not supported");
    case XlsxStatus::NoWorkbookPart: return QStringLiteral("not an Excel workbook: no workbook part");
    case XlsxStatus::DuplicatePartName: return QStringLiteral("two parts of the package have one name");
    case XlsxStatus::RelationshipOutside:
        return QStringLiteral("a relationship points outside the package");
    case XlsxStatus::EntityDeclaration:
        return QStringLiteral("a part declares a document type (entities are refused)");
    case XlsxStatus::PartTooLarge: return QStringLiteral("a part of the package is too large");
    case XlsxStatus::MalformedXml: return QStringLiteral("a part of the package is not well-formed XML");
    case XlsxStatus::DamagedPart: return QStringLiteral("a part of the package is damaged");
    case XlsxStatus::MissingPart: return QStringLiteral("a relationship names a part that is missing");
    case XlsxStatus::NoSuchWorksheet: return QStringLiteral("no such worksheet");
    case XlsxStatus::OverlappingEntries:
        return QStringLiteral("two entries of the zip package share the same bytes");
    case XlsxStatus::OutputFailed: return QStringLiteral("the new workbook could not be written");
    }
    return QStringLiteral("unknown failure");
}

void fail(XlsxStatus status, const QString& detail)
{
    throw XlsxError(status, statusText(status) + QStringLiteral(": ") + detail);
}

} // namespace bf::xlsx
