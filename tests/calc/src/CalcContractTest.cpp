// The interface contract, unchanged, on the Calc backend.
#include "automation/calc/CalcApplication.h"
#include "ContractSuite.h"

namespace bf::test {
namespace {

std::map<QString, std::int32_t> calcRefusals()
{
    // Damaged and foreign files the office cannot read as a spreadsheet (each kind of file is
    // tried by the suite's own table). A damaged sheet offset it reads fine.
    std::map<QString, std::int32_t> table;
    for (const char* file : {"bad/corrupt-truncated-half-poi--drawings.xls",
                             "bad/corrupt-truncated-header-only-sheetjs--sheet_visibility.xls",
                             "xls/exceldatareader--test_issue_12556_corrupt.xls",
                             "xls/phpspreadsheet--oleloop.xls",
                             "xls/poi--clusterfuzz-testcase-minimized-poihssffuzzer-4819588401201152.xls",
                             "xls/sheetjs--password_2002_128_strong.xls"})
        table[QString::fromLatin1(file)] = err::SpreadsheetFailure;
    return table;
}

} // namespace

INSTANTIATE_TEST_SUITE_P(Calc, SpreadsheetContract, ::testing::Values(ContractParams{"calc", calcRefusals(), &automation::calc::addCalcBackend}));

} // namespace bf::test
