#include "cli/RunMode.h"

#include <cstdio>

namespace bf::cli {
int runMode(int, char**)
{
    std::fputs("brakenfold-split: run mode not available\n", stderr);
    return 1;
}
} // namespace bf::cli
