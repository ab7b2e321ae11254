#pragma once

#include "api/KvHLRExport.h"

#include <cstddef>
#include <vector>

namespace KvHLR {

// Large arrays go on transparent huge pages where the system offers them on request, as long as it has
// free 2 MB blocks enough for them. A model of millions of triangles otherwise spends most of its build
// taking a page fault for every 4 KB of fresh memory it writes (faults are dear on a virtual machine);
// where the blocks are not free, the system's search for them costs more than it saves. The advice
// changes nothing but speed; where it is refused, nothing happens.
class KVHLR_API HLRHugePages {
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
    // Makes the array `count` copies of `value`, its room reserved as above first.
    template <class T> static void assign(std::vector<T>& array, std::size_t count, const T& value) {
        reserve(array, count);
        array.assign(count, value);
    }
};

} // namespace KvHLR
