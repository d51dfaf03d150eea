#include "automation/native/EngineErrors.h"

namespace bf::automation::native {

namespace {
std::int32_t numberOf(xls::XlsStatus status)
{
    switch (status) {
    case xls::XlsStatus::FileNotFound: return err::FileNotFound;
    case xls::XlsStatus::NotAFile:
    case xls::XlsStatus::Unreadable:
    case xls::XlsStatus::NotCompoundFile:
    case xls::XlsStatus::NoWorkbookStream:
    case xls::XlsStatus::Encrypted:
    case xls::XlsStatus::NotBiff8:
    case xls::XlsStatus::Damaged:
    case xls::XlsStatus::NotAWorksheet:
    case xls::XlsStatus::CannotCopy:
    case xls::XlsStatus::OutputFailed:
        break;
    }
    return err::SpreadsheetFailure;
}
// Every refusal of a package is the spreadsheet application's failure (1004), except these.
std::int32_t numberOf(xlsx::XlsxStatus status)
{
    switch (status) {
    case xlsx::XlsxStatus::FileNotFound: return err::FileNotFound;
    case xlsx::XlsxStatus::NoSuchWorksheet: return err::SubscriptOutOfRange;
    default: return err::SpreadsheetFailure;
    }
}
} // namespace

Error toError(const xls::XlsError& e) { return Error(numberOf(e.status()), e.detail()); }

Error toError(const xlsx::XlsxError& e) { return Error(numberOf(e.status()), e.detail()); }

} // namespace bf::automation::native
