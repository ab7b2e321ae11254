#pragma once

#include <boost/noncopyable.hpp>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <new>
#include <type_traits>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace WindowQuery {
namespace Imple {

// Memory for the arrays of one tree, cut from blocks that go back all together with the tree.
// Nothing is given back before: the builders allocate every array once, at its final size. Blocks
// double in size from 64 KB to 2 MB and are 32 MB from then on, so that a small model's tree takes
// memory the heap already has rather than megabytes of fresh pages, and a large model's needs few
// blocks (each leaves part of a huge page unused at its end). Blocks of some megabytes are aligned
// to and advised for transparent huge pages where the system offers them: the tree of a large model
// writes hundreds of megabytes of fresh memory, and a page fault every 4 KB costs more than the
// writing. Any thread may allocate.
class Arena : private boost::noncopyable {
public:
    Arena() = default;
    ~Arena() {
        for (void* block : m_blocks) {
            std::free(block);
        }
    }

    void* allocate(std::size_t bytes, std::size_t alignment) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        std::uintptr_t start = (m_next + alignment - 1) & ~(std::uintptr_t{alignment} - 1);
        if (start + bytes > m_end || m_next == 0) {
            const bool huge = std::max(bytes + alignment, m_nextBlock) >= 2 * HUGE_PAGE;
            const std::size_t blockAlignment = huge ? HUGE_PAGE : alignof(std::max_align_t);
            const std::size_t size =
                (std::max(bytes + alignment, m_nextBlock) + blockAlignment - 1) & ~(blockAlignment - 1);
            void* block = std::aligned_alloc(blockAlignment, size);
            if (!block) {
                throw std::bad_alloc();
            }
            m_blocks.push_back(block);
            m_nextBlock = 2 * m_nextBlock < 2 * HUGE_PAGE ? 2 * m_nextBlock : BLOCK;
#if defined(MADV_HUGEPAGE)
            if (huge) {
                madvise(block, size, MADV_HUGEPAGE); // refused: only slower
            }
#endif
            m_next = reinterpret_cast<std::uintptr_t>(block);
            m_end = m_next + size;
            start = (m_next + alignment - 1) & ~(std::uintptr_t{alignment} - 1);
        }
        m_next = start + bytes;
        return reinterpret_cast<void*>(start);
    }

private:
    static constexpr std::size_t HUGE_PAGE = std::size_t{2} << 20;
    static constexpr std::size_t BLOCK = std::size_t{32} << 20;

    std::mutex m_mutex;
    std::size_t m_nextBlock = std::size_t{64} << 10;
    std::vector<void*> m_blocks;
    std::uintptr_t m_next = 0;
    std::uintptr_t m_end = 0;
};

// Lets a standard container take its memory from an arena; without one, from the heap as usual.
template <class T> class ArenaAllocator {
public:
    using value_type = T;
    using propagate_on_container_copy_assignment = std::true_type;
    using propagate_on_container_move_assignment = std::true_type;
    using propagate_on_container_swap = std::true_type;

    ArenaAllocator() = default;
    explicit ArenaAllocator(Arena* arena) : m_arena(arena) {}
    template <class U> ArenaAllocator(const ArenaAllocator<U>& other) : m_arena(other.arena()) {}

    T* allocate(std::size_t count) {
        if (count > SIZE_MAX / sizeof(T)) {
            throw std::bad_array_new_length();
        }
        void* memory = m_arena ? m_arena->allocate(count * sizeof(T), alignof(T))
                               : ::operator new(count * sizeof(T));
        return static_cast<T*>(memory);
    }
    void deallocate(T* memory, std::size_t) noexcept {
        if (!m_arena) {
            ::operator delete(memory);
        }
    }

    Arena* arena() const { return m_arena; }
    template <class U> bool operator==(const ArenaAllocator<U>& other) const { return m_arena == other.arena(); }
    template <class U> bool operator!=(const ArenaAllocator<U>& other) const { return m_arena != other.arena(); }

private:
    Arena* m_arena = nullptr;
};

// An array of a tree, in the tree's arena.
template <class T> using TreeArray = std::vector<T, ArenaAllocator<T>>;

} // namespace Imple
} // namespace WindowQuery
