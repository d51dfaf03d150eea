#pragma once
// The engine's refusals as the program's errors: each kind of refusal gets the number the
// program reports for it, and keeps the engine's description (the file and the reason).
#include "core/Error.h"
#include "xls/XlsStatus.h"
#include "xlsx/XlsxStatus.h"

#include <utility>

namespace bf::automation::native {

Error toError(const xls::XlsError& e);
Error toError(const xlsx::XlsxError& e);

// Runs an engine call; a refusal comes out as the program's error.
template <class Call>
auto engineCall(Call&& call) -> decltype(call())
{
    try {
        return std::forward<Call>(call)();
    } catch (const xls::XlsError& e) {
        throw toError(e);
    } catch (const xlsx::XlsxError& e) {
        throw toError(e);
    }
}

} // namespace bf::automation::native
