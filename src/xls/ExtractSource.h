#pragma once
// What every part of one worksheet's extraction reads: the source workbook, its stream's bytes
// and the kept sheet; and how a part refuses the extraction.
#include "xls/Records.h"
#include "xls/WorkbookData.h"

#include <vector>

namespace bf::xls {

class ExtractSource {
public:
    // Loads the globals; refuses a sheet index that is no worksheet.
    ExtractSource(const WorkbookData& wb, int sheet);

    const WorkbookData& workbook() const { return wb_; }
    const std::vector<SheetInfo>& sheets() const { return wb_.sheets; }
    const std::vector<RecRef>& globals() const { return wb_.globals; }
    // The kept sheet's index and entry.
    int sheet() const { return sheet_; }
    const SheetInfo& info() const { return wb_.sheets[static_cast<std::size_t>(sheet_)]; }
    // The stream's bytes at a stream position (loaded by now).
    const std::uint8_t* at(std::uint32_t pos) const { return data_ + pos; }
    const std::uint8_t* data(const RecRef& r) const { return data_ + r.dataPos(); }

    // The records of the substream that starts at start (a sheet with its embedded charts),
    // loaded. A BOF inside that is not a chart's refuses the extraction (the sheet has lost its
    // end record).
    std::vector<SubRecord> substream(std::uint32_t start) const;

    [[noreturn]] void fail(XlsStatus status, const QString& why) const;
    // Fails with "<what> (damaged file)".
    [[noreturn]] void damaged(const QString& what) const;

private:
    QString lostEnd(std::uint32_t start, std::uint32_t next) const;

    const WorkbookData& wb_;
    int sheet_;
    const std::uint8_t* data_ = nullptr;
};

} // namespace bf::xls
