// libFuzzer target: opening, listing and extracting a workbook held in memory.
//
// Any input may be refused with an XlsError; nothing else is allowed: no crash, no sanitizer
// report, no other exception. And when a worksheet is extracted, the new workbook must open
// again and list exactly that one worksheet under the same name, or the extractor wrote a file
// the next reader (ours included) cannot take.
#include "xls/XlsWorkbook.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
// Extracting is the slow half; a few sheets per input keep the campaign fast enough.
constexpr std::size_t kMaxSheetsPerInput = 6;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    std::unique_ptr<bf::xls::XlsWorkbook> wb;
    try {
        wb = bf::xls::XlsWorkbook::openBytes(bytes, QStringLiteral("fuzz.xls"));
    } catch (const bf::xls::XlsError&) {
        return 0;
    }
    const auto sheets = wb->worksheets();
    for (std::size_t i = 0; i < sheets.size() && i < kMaxSheetsPerInput; ++i) {
        QByteArray out;
        try {
            out = wb->extract(sheets[i].index, QStringLiteral("/fuzz/source.xls"));
        } catch (const bf::xls::XlsError&) {
            continue;
        }
        try {
            const auto again = bf::xls::XlsWorkbook::openBytes(out, QStringLiteral("extracted.xls"));
            const auto kept = again->worksheets();
            if (kept.size() != 1 || kept[0].name != sheets[i].name)
                std::abort(); // the extracted workbook does not hold the one worksheet
        } catch (const bf::xls::XlsError&) {
            std::abort(); // the extracted workbook cannot be opened again
        }
    }
    return 0;
}
