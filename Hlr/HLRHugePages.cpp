#include "Hlr/HLRHugePages.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace KvHLR {

void HLRHugePages::advise(const void* address, std::size_t bytes) {
#if defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t HUGE_PAGE = std::uintptr_t{2} << 20;
    if (bytes < 2 * HUGE_PAGE)
        return;
    const auto start = (reinterpret_cast<std::uintptr_t>(address) + HUGE_PAGE - 1) & ~(HUGE_PAGE - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(address) + bytes) & ~(HUGE_PAGE - 1);
    if (end > start)
        madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#else
    (void)address;
    (void)bytes;
#endif
}

} // namespace KvHLR
