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

// Huge pages are worth it while the system has them free: faults in the first few hundred megabytes
// of advised memory are fewer and cheaper, but beyond that the system compacts memory to find more,
// and a 10M-triangle drawing took twice as long with all its arrays advised as with none.
constexpr std::size_t kResidentLimit = std::size_t{512} << 20;

// The process's resident memory in bytes, or 0 where it cannot be read.
std::size_t residentBytes() {
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr)
        return 0;
    unsigned long size = 0;
    unsigned long resident = 0;
    const bool read = std::fscanf(statm, "%lu %lu", &size, &resident) == 2;
    std::fclose(statm);
    return read ? static_cast<std::size_t>(resident) * static_cast<std::size_t>(sysconf(_SC_PAGESIZE)) : 0;
}

} // namespace
#endif

void HLRHugePages::advise(const void* address, std::size_t bytes) {
#if defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t HUGE_PAGE = std::uintptr_t{2} << 20;
    if (bytes < 2 * HUGE_PAGE || residentBytes() + bytes > kResidentLimit)
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
