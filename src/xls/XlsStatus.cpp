#include "xls/XlsStatus.h"

namespace bf::xls {

QString toText(XlsStatus status)
{
    switch (status) {
    case XlsStatus::FileNotFound: return QStringLiteral("the file was not found");
    case XlsStatus::NotAFile: return QStringLiteral("it is a folder, not a workbook");
    case XlsStatus::Unreadable: return QStringLiteral("the file cannot be read");
    case XlsStatus::NotCompoundFile: return QStringLiteral("not an Excel 97-2003 workbook");
    case XlsStatus::NoWorkbookStream: return QStringLiteral("not an Excel 97-2003 workbook: no Workbook stream");
    case XlsStatus::Encrypted: return QStringLiteral("the workbook is password-protected");
    case XlsStatus::NotBiff8: return QStringLiteral("Excel 5.0/95 workbooks are not supported");
    case XlsStatus::Damaged: return QStringLiteral("the file is damaged");
    case XlsStatus::NotAWorksheet: return QStringLiteral("it is not a worksheet");
    case XlsStatus::CannotCopy: return QStringLiteral("the worksheet holds something its copy cannot carry");
    case XlsStatus::OutputFailed: return QStringLiteral("the new workbook could not be assembled");
    }
    return QString();
}

} // namespace bf::xls
