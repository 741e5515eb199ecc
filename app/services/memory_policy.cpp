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

} // namespace kavelo::MemoryPolicy
