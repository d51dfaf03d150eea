#pragma once
// The workbook part of the new package: only the kept sheet, selected and visible; the defined
// names it can use; the external link to the source; the pivot caches its tables use.
#include <QByteArray>
#include <QString>

#include <set>

namespace bf::xlsx {

class FormulaRewriter;
struct SheetInfo;

// Placeholders the extraction fills once it knows whether the new workbook links to the source:
// the whole externalReferences element, or one more entry of an existing one.
inline constexpr char kExternalBlockMark[] = "\x01external-block\x01";
inline constexpr char kExternalEntryMark[] = "\x01external-entry\x01";

struct WorkbookEdit {
    const SheetInfo* kept = nullptr;
    std::set<QString> keptRelIds; // workbook relationships the new workbook keeps
};

QByteArray rewriteWorkbook(const QByteArray& part, const WorkbookEdit& edit,
                           FormulaRewriter& formulas, const QString& detail);

// docProps/app.xml naming only the kept sheet.
QByteArray rewriteAppProperties(const QByteArray& part, const QString& sheetName, const QString& detail);

} // namespace bf::xlsx
