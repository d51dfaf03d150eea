#pragma once
// How the program's allocator treats large buffers. A split allocates and frees buffers of a few
// megabytes for every worksheet (parts inflated, rewritten, deflated); handing each back to the
// system and faulting it in again costs more than the work done in it.
namespace bf::platform {

// Keeps freed buffers of up to 32 MB for reuse instead of returning them to the system at once.
// Call at the start of a program, before its first large allocation.
void reuseLargeBuffers();
// Returns the free memory kept for reuse to the system: at the end of a split run.
void releaseFreeMemory();

} // namespace bf::platform
