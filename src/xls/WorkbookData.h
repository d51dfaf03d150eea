#pragma once
// Inside an open workbook: its container, its workbook stream and the parsed globals, shared
// by the reader and the extractor and kept out of the public API.
#include "book/Cfb.h"
#include "xls/Records.h"
#include "xls/Sst.h"
#include "xls/XlsStatus.h"
#include "xls/XlsWorkbook.h"

#include <memory>
#include <vector>

namespace bf::xls {

struct WorkbookData {
    QString path;
    std::unique_ptr<book::CfbFile> cfb;
    std::unique_ptr<book::CfbStream> stream;
    std::vector<RecRef> globals; // BOF to EOF, both included
    std::uint32_t globalsEnd = 0; // stream position after the globals' EOF
    std::vector<SheetInfo> sheets;
    SharedStringIndex sharedStrings; // filled by the first extraction that needs it

    // Opening: the workbook stream, the globals and the sheet list, each refused with its reason.
    void chooseStream();
    void readGlobals();
    void checkSheets();

    [[noreturn]] void fail(XlsStatus status, const QString& reason) const;
    [[noreturn]] void damaged(const QString& what) const;

private:
    void addSheet(const std::uint8_t* d, std::uint16_t size);
    void findDialog(SheetInfo& sheet, std::uint64_t pos);
};

} // namespace bf::xls
