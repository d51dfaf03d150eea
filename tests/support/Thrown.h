#pragma once
// What a call throws: the program's error (number 0 when the call returns), or any other kind.
#include "core/Error.h"

#include <functional>
#include <optional>

namespace bf::test {

template <typename E = Error>
std::optional<E> thrown(const std::function<void()>& call)
{
    try {
        call();
    } catch (const E& e) {
        return e;
    }
    return std::nullopt;
}

inline Error errorOf(const std::function<void()>& call) { return thrown<Error>(call).value_or(Error(0, QString())); }

} // namespace bf::test
