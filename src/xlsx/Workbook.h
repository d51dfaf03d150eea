#pragma once
// The workbook part of the new package: only the kept sheet, visible and the active one (the
// workbook view names it, so its own part need not change); the defined
// names it keeps (see DefinedNames.h); the external link to the source; the pivot caches its tables use.
#include <QByteArray>
#include <QString>

#include <set>
#include <string>
#include <utility>
#include <vector>

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
    std::set<std::pair<std::string, int>> keptNames; // defined names kept (folded, sheet or -1)
};

// The workbook's entry for the external link with relationship id `relId`, in the prefixes the
// workbook part gives the spreadsheet and relationship namespaces (declaring the latter when
// the part does not).
QByteArray externalReferenceEntry(const QByteArray& workbook, const QString& relId);
// The element holding such entries, in the spreadsheet namespace's prefix.
QByteArray externalReferencesBlock(const QByteArray& workbook, const QByteArray& entries);

// The workbook part cut once into what every copy shares and what belongs to one sheet (its
// sheet entry, its own defined names), so that a copy reads its sheet's pieces, not all sheets'.
struct WorkbookPiece {
    int sheet = -1; // the owning sheet's workbook position; -1 shared
    std::string text;
};
std::vector<WorkbookPiece> splitWorkbook(const QByteArray& part, const QString& detail);
// The workbook part with only the shared pieces and those of sheet `kept`.
QByteArray workbookFor(const std::vector<WorkbookPiece>& pieces, int kept);

QByteArray rewriteWorkbook(const QByteArray& part, const WorkbookEdit& edit,
                           FormulaRewriter& formulas, const QString& detail);

// docProps/app.xml naming only the kept sheet.
QByteArray rewriteAppProperties(const QByteArray& part, const QString& sheetName, const QString& detail);

} // namespace bf::xlsx
