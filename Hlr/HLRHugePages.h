#pragma once

#include <cstddef>
#include <vector>

namespace KvHLR {

// Large arrays go on transparent huge pages where the system offers them on request, as long as the
// process stays within its first half gigabyte. A model of a million triangles otherwise spends a good
// part of its build taking a page fault for every 4 KB of fresh memory it writes; beyond that size
// the system's search for more huge pages costs more than it saves. The advice changes nothing but
// speed; where it is refused, nothing happens.
class HLRHugePages {
public:
    // Advises the whole 2 MB pages within [address, address + bytes), for arrays of some megabytes.
    static void advise(const void* address, std::size_t bytes);

    // Touches every page within [address, address + bytes) on the library's threads, for arrays of tens
    // of megabytes: the system then takes the page faults of a fresh array, and clears its pages, on
    // every processor rather than on the one thread that fills the array first.
    static void prefault(void* address, std::size_t bytes);
    // Reserves room for count elements, advises it and touches it, before any of it is written.
    template <class T> static void reserve(std::vector<T>& array, std::size_t count) {
        array.reserve(count);
        advise(array.data(), array.capacity() * sizeof(T));
        prefault(array.data(), array.capacity() * sizeof(T));
    }
};

} // namespace KvHLR
