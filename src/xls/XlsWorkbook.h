#pragma once
// An Excel 97-2003 (BIFF8) workbook opened for listing and extraction.
//
// Public engine API (also used by the benchmarks, the fuzz target and the fidelity test):
//   auto wb = XlsWorkbook::open(path);          // XlsError with the status and the reason
//   for (const SheetInfo& s : wb->worksheets()) ... s.name
//   QByteArray file = wb->extract(s.index);     // a complete .xls holding that one worksheet
// Opening reads the globals substream only and checks that every sheet starts where the
// sheet list says; extraction reads the rest of the stream once.
#include "book/Sheets.h"
#include "book/ValuesDrops.h"
#include "xls/XlsStatus.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

namespace bf::xls {

struct WorkbookData; // internal: WorkbookData.h

using book::SheetKind;

struct SheetInfo : book::SheetEntry {
    std::uint32_t offset = 0; // stream position of the sheet's BOF
};

class XlsWorkbook {
public:
    ~XlsWorkbook();
    XlsWorkbook(const XlsWorkbook&) = delete;
    XlsWorkbook& operator=(const XlsWorkbook&) = delete;

    // Throws XlsError for a missing file or anything that is not a readable BIFF8 workbook
    // (the detail names the file and the reason).
    static std::unique_ptr<XlsWorkbook> open(const QString& path);
    // The same on bytes in memory; displayName stands for the file in messages.
    static std::unique_ptr<XlsWorkbook> openBytes(const QByteArray& bytes, const QString& displayName);

    const QString& path() const;
    // Every sheet of the sheet list, in order.
    const std::vector<SheetInfo>& sheets() const;
    // What a Worksheets collection holds: worksheets only (hidden ones included), in order.
    std::vector<SheetInfo> worksheets() const;

    // A complete .xls file holding only sheet `index` (an index into sheets(), which must be a
    // worksheet). sourcePath is the absolute path the new workbook's links to the other sheets
    // name (default: this workbook's path). Throws XlsError naming the reason. The string
    // table is indexed once, by the first extraction. values: no link to the source; formulas
    // that read other sheets keep their stored results, and other references to those sheets
    // (names, validation, conditional formats, charts) name no sheet.
    // What could not become values is counted in *drops (when given).
    QByteArray extract(int index, const QString& sourcePath = QString(), bool values = false,
                       book::ValuesDrops* drops = nullptr);

private:
    explicit XlsWorkbook(std::unique_ptr<WorkbookData> data);

    std::unique_ptr<WorkbookData> data_; // the container, the stream and the parsed globals
};

} // namespace bf::xls
