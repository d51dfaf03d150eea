// libFuzzer target: opening, listing and extracting an Open XML workbook held in memory.
//
// Any input may be refused with an XlsxError; nothing else is allowed: no crash, no sanitizer
// report, no other exception. An extracted worksheet must open again and list exactly that
// one worksheet under the same name. Seeds: the .xlsx files of the corpus.
#include "xlsx/XlsxStatus.h"
#include "xlsx/XlsxWorkbook.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
constexpr std::size_t kMaxSheetsPerInput = 4;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    std::unique_ptr<bf::xlsx::XlsxWorkbook> wb;
    try {
        wb = bf::xlsx::XlsxWorkbook::openBytes(bytes, QStringLiteral("fuzz.xlsx"));
    } catch (const bf::xlsx::XlsxError&) {
        return 0;
    }
    const auto sheets = wb->worksheets();
    for (std::size_t i = 0; i < sheets.size() && i < kMaxSheetsPerInput; ++i) {
        QByteArray out;
        try {
            out = wb->extract(sheets[i].index, QStringLiteral("/fuzz/source.xlsx"));
        } catch (const bf::xlsx::XlsxError&) {
            continue;
        }
        try {
            const auto again = bf::xlsx::XlsxWorkbook::openBytes(out, QStringLiteral("extracted.xlsx"));
            const auto kept = again->worksheets();
            if (kept.size() != 1 || kept[0].name != sheets[i].name)
                std::abort(); // the extracted workbook does not hold the one worksheet
        } catch (const bf::xlsx::XlsxError&) {
            std::abort(); // the extracted workbook cannot be opened again
        }
    }
    return 0;
}
