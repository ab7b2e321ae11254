#include "WindowQuery/Arena.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using WindowQuery::Imple::Arena;
using WindowQuery::Imple::ArenaAllocator;
using WindowQuery::Imple::TreeArray;

TEST(Arena, ArraysAreAlignedApartAndOutliveNothingButTheArena) {
    Arena arena;
    std::vector<TreeArray<std::uint64_t>> arrays;
    // Small arrays share blocks; one larger than a block gets a block of its own.
    for (std::size_t size : {1u, 3u, 1000u, 5u << 20, 7u}) {
        arrays.emplace_back(size, size, ArenaAllocator<std::uint64_t>(&arena));
    }
    for (std::size_t i = 0; i < arrays.size(); ++i) {
        const TreeArray<std::uint64_t>& array = arrays[i];
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(array.data()) % alignof(std::uint64_t), 0u);
        for (std::uint64_t value : array) {
            ASSERT_EQ(value, array.size()); // no array overlaps another
        }
    }
    TreeArray<char> bytes(3, 'x', ArenaAllocator<char>(&arena));
    TreeArray<std::uint64_t> after(2, 9, ArenaAllocator<std::uint64_t>(&arena));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(after.data()) % alignof(std::uint64_t), 0u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "xxx");
}

TEST(Arena, WithoutAnArenaTheAllocatorUsesTheHeap) {
    TreeArray<int> array;
    for (int i = 0; i < 1000; ++i) {
        array.push_back(i); // grows and gives back old storage, which only the heap can take
    }
    EXPECT_EQ(array[999], 999);
    EXPECT_EQ(array.get_allocator().arena(), nullptr);
}
