#pragma once
// An Office Open XML workbook (.xlsx, .xlsm) opened for listing and extraction.
//
//   auto wb = XlsxWorkbook::open(path);        // XlsxError with the reason
//   for (const SheetInfo& s : wb->worksheets()) ... s.name
//   QByteArray file = wb->extract(s.index);    // a complete .xlsx holding that one worksheet
//
// Opening reads the package directory, the package and workbook relationships, the content
// types and the workbook part, never a sheet part. Extraction copies the one worksheet's part
// and the parts it owns, rewriting only what must change.
#include "book/Sheets.h"
#include "book/ValuesDrops.h"
#include "xlsx/ContentTypes.h"
#include "xlsx/DefinedNames.h"
#include "xlsx/Relationships.h"
#include "xlsx/Workbook.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace bf::xlsx {

class FormulaTargets;
class Package;
struct PartEntry;
class SharedStrings;
class ZipWriter;
struct SheetUse;

using book::SheetKind;

struct SheetInfo : book::SheetEntry {
    QString relId; // the workbook relationship naming its part
    QString part;  // its part name
};

class XlsxWorkbook {
public:
    ~XlsxWorkbook();
    XlsxWorkbook(const XlsxWorkbook&) = delete;
    XlsxWorkbook& operator=(const XlsxWorkbook&) = delete;

    // Throws XlsxError: FileNotFound, ReadFailed, or the reason the file is refused.
    // displayName stands for the file in messages when given.
    static std::unique_ptr<XlsxWorkbook> open(const QString& path, const QString& displayName = QString());
    // The same on bytes in memory; displayName stands for the file in messages.
    static std::unique_ptr<XlsxWorkbook> openBytes(const QByteArray& bytes, const QString& displayName);

    const QString& path() const { return path_; }
    // Every sheet of the workbook, in order.
    const std::vector<SheetInfo>& sheets() const { return sheets_; }
    // Worksheets only (hidden ones included), in order.
    std::vector<SheetInfo> worksheets() const;

    // A complete .xlsx holding only sheet `index` (an index into sheets() naming a worksheet).
    // sourcePath is the path the links to the other sheets name (default: this workbook's).
    // Throws XlsxError naming the reason. Not safe to call from two threads at once.
    // values: no link to the source; cells whose formulas read other sheets keep their cached
    // values only; names, validation lists, conditional formats and chart series reading them
    // become values where the format allows, and are left out, counted in *drops, where not.
    QByteArray extract(int index, const QString& sourcePath = QString(), bool values = false,
                       book::ValuesDrops* drops = nullptr) const;
    // The same written to the file open as `to`, at its position, never held whole. Throws
    // XlsxError, OutputFailed when writing fails.
    void extractTo(int to, int index, const QString& sourcePath = QString(), bool values = false,
                   book::ValuesDrops* drops = nullptr) const;

    // Internal, shared with the extraction.
    const Package& package() const { return *package_; }
    const ContentTypes& contentTypes() const { return contentTypes_; }
    const QString& workbookPart() const { return workbookPart_; }
    const std::vector<Relationship>& packageRels() const { return packageRels_; }
    const std::vector<Relationship>& workbookRels() const { return workbookRels_; }
    // Those that name no sheet: what every one-sheet copy considers, whatever the sheet count.
    const std::vector<Relationship>& sharedWorkbookRels() const { return sharedWorkbookRels_; }
    // The shared-string table, read on first use (empty when the workbook has none).
    const SharedStrings& sharedStrings() const;
    QString detail(const QString& part) const;
    // The workbook's defined names, in order.
    const std::vector<DefinedName>& definedNames() const { return definedNames_; }
    // The sheets, tables and defined names formulas may name: read on first use, once for
    // every extraction.
    std::shared_ptr<const FormulaTargets> formulaTargets() const;
    // What worksheet `index`'s content asks of a copy (strings, names, formulas reading other
    // sheets), learnt on first use, once per sheet; nullptr when nothing need be learnt: the
    // workbook's only sheet with cells, and no defined names.
    const SheetUse* sheetUse(int index) const;
    // The workbook part holding only what every sheet shares and what sheet `index` owns.
    QByteArray workbookPartFor(int index) const;
    // docProps/app.xml (the part `part`) naming only sheet `name`.
    QByteArray appPropertiesFor(const QString& part, const QString& name) const;

    // Work extractions did, counted for tests: the part names tried while renaming parts.
    struct Counters {
        std::uint64_t nameTries = 0;
    };
    Counters& counters() const { return counters_; }

private:
    XlsxWorkbook();
    // The workbook read from its package once the file's kind is known.
    static std::unique_ptr<XlsxWorkbook> read(std::unique_ptr<Package> package);
    void readPackage();
    void readSheets();
    std::function<void(QByteArray&)> chunksOf(const PartEntry& entry) const;
    void extractWith(int index, const QString& sourcePath, bool values, book::ValuesDrops* drops,
                     const std::function<void(ZipWriter&)>& finish) const;

    QString path_;
    std::unique_ptr<Package> package_;
    ContentTypes contentTypes_;
    QString workbookPart_;
    std::vector<Relationship> packageRels_;
    std::vector<Relationship> workbookRels_;
    std::vector<Relationship> sharedWorkbookRels_;
    std::vector<SheetInfo> sheets_;
    std::vector<DefinedName> definedNames_;
    mutable std::unique_ptr<SharedStrings> sharedStrings_;
    mutable std::shared_ptr<const FormulaTargets> formulaTargets_;
    mutable std::map<int, std::unique_ptr<SheetUse>> sheetUses_;
    mutable Counters counters_;
    mutable std::vector<WorkbookPiece> workbookPieces_;
    mutable QByteArray appTemplate_;
};

} // namespace bf::xlsx
