#pragma once

// How the process asks the C library to hand memory back. Pictures, panel
// backing stores and capture buffers come and go in blocks of hundreds of
// kilobytes; by default the library raises its threshold for giving such
// blocks pages of their own as soon as one is freed, after which they are
// carved from the heap, fragment it and are never returned. A fixed
// threshold returns every large block when it is freed, and two arenas
// keep the capture threads from each growing a heap of their own.

namespace kavelo::MemoryPolicy {

inline constexpr int largeBlock = 128 * 1024;   // bytes
inline constexpr int arenas = 2;

// Once, first thing in the process.
void apply();

// Hands the free pages inside the heap back to the system. Walks every free
// block: for quiet moments (a panel long hidden), not for hot paths.
void trim();

} // namespace kavelo::MemoryPolicy
