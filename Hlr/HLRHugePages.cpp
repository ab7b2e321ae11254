#include "Hlr/HLRHugePages.h"

#include "Hlr/HLRParallelLoop.h"

#include <cstdint>

#if defined(__linux__)
#include <cstdio>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace KvHLR {

#if defined(MADV_HUGEPAGE)
namespace {

// Huge pages are worth it while the system has them free: a fault in advised memory then takes a free
// 2 MB block, one fault where there would be 512, but where no block is free it waits for the system to
// compact memory, and a 10M-triangle drawing once took twice as long with all its arrays advised as with
// none. So an array is advised only while the free 2 MB blocks could hold it twice over (others may take
// some meanwhile).
constexpr std::size_t kHugePage = std::size_t{2} << 20;

// The bytes the system holds free in blocks of 2 MB or more, from /proc/buddyinfo (a line a memory
// zone: "Node 0, zone Normal", then the count of free blocks of 2^k pages for k = 0, 1, ...), or 0 where
// it cannot be read.
std::size_t freeHugeBytes() {
    std::FILE* buddyinfo = std::fopen("/proc/buddyinfo", "r");
    if (buddyinfo == nullptr)
        return 0;
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    std::size_t bytes = 0;
    char zone[64];
    while (std::fscanf(buddyinfo, " Node %*d, zone %63s", zone) == 1) {
        unsigned long blocks = 0;
        for (int order = 0; std::fscanf(buddyinfo, "%lu", &blocks) == 1; ++order)
            if ((page << order) >= kHugePage)
                bytes += static_cast<std::size_t>(blocks) * (page << order);
    }
    std::fclose(buddyinfo);
    return bytes;
}

} // namespace
#endif

void HLRHugePages::advise(const void* address, std::size_t bytes) {
#if defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t HUGE_PAGE = kHugePage;
    if (bytes < 2 * HUGE_PAGE || 2 * bytes > freeHugeBytes())
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

void HLRHugePages::prefault(void* address, std::size_t bytes) {
    // A block of pages for each turn of a thread; an array of fewer blocks is left to its first writer.
    constexpr std::size_t kBlock = std::size_t{8} << 20;
    constexpr std::size_t kPage = 4096;
    if (bytes < 2 * kBlock)
        return;
    unsigned char* const first = static_cast<unsigned char*>(address);
    forEachBlock(bytes, kBlock, [first](std::size_t, std::size_t begin, std::size_t end) {
        for (std::size_t offset = begin; offset < end; offset += kPage)
            first[offset] = 0;
    });
}

} // namespace KvHLR
