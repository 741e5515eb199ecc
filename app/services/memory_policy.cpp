#include "app/services/memory_policy.h"

#include <malloc.h>

namespace kavelo::MemoryPolicy {

void apply()
{
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, largeBlock);
    mallopt(M_ARENA_MAX, arenas);
#endif
}

void trim()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

} // namespace kavelo::MemoryPolicy
