#pragma once
// The parsed globals substream of a workbook, shared by the reader and the extractor.
#include "xls/Biff.h"
#include "xls/XlsWorkbook.h"

#include <vector>

namespace bf::xls {

struct XlsWorkbook::Globals {
    std::vector<RecRef> records; // BOF to EOF, both included
    std::uint32_t end = 0;       // stream position after the globals' EOF
    std::uint16_t bofBuild = 0;
    // The string table's index, built by the first extraction (the stream is fully loaded by
    // then and its buffer no longer moves).
    mutable bool sstIndexed = false;
    mutable bool sstOk = false;
    mutable SstReader sst;
};

} // namespace bf::xls
