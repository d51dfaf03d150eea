#include "platform/Memory.h"

#include <malloc.h>

namespace bf::platform {

void reuseLargeBuffers()
{
    // Buffers below 32 MB come from the heap; up to 128 MB free at its top stays there. Larger
    // buffers (a huge worksheet's window) are still mapped and returned one by one.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 128 << 20);
}

void releaseFreeMemory()
{
    malloc_trim(0);
}

} // namespace bf::platform
