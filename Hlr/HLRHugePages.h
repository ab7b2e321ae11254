#pragma once

#include <cstddef>
#include <vector>

namespace KvHLR {

// Large arrays go on transparent huge pages where the system offers them on request. A model of
// millions of triangles otherwise spends a good part of its build taking a page fault for every 4 KB
// of fresh memory it writes. The advice changes nothing but speed; where it is refused, nothing happens.
class HLRHugePages {
public:
    // Advises the whole 2 MB pages within [address, address + bytes), for arrays of some megabytes.
    static void advise(const void* address, std::size_t bytes);

    // Reserves room for count elements and advises it, before any of it is written.
    template <class T> static void reserve(std::vector<T>& array, std::size_t count) {
        array.reserve(count);
        advise(array.data(), array.capacity() * sizeof(T));
    }
};

} // namespace KvHLR
