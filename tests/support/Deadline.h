#pragma once
// A deadline a test sets for the program, scaled by BRAKENFOLD_TEST_TIME_FACTOR: the sanitizer
// tree's ctest sets it to how many times slower the program runs there (1 when unset).
#include <QString>
#include <QtGlobal>

namespace bf::test {
inline int deadlineMs(int plainBuildMs)
{
    bool ok = false;
    const double factor = qEnvironmentVariable("BRAKENFOLD_TEST_TIME_FACTOR").toDouble(&ok);
    return static_cast<int>(plainBuildMs * (ok && factor > 1 ? factor : 1));
}
} // namespace bf::test
