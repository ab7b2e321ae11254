#pragma once

#include "WindowQuery/Arena.h"

#include <boost/noncopyable.hpp>

#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>

namespace WindowQuery {
namespace Imple {

// Nodes made in one go, when their number is known, and kept in one array that frees them together.
// The node type must need no destruction, so the array never runs destructors.
template <class T> class NodeArray : private boost::noncopyable {
    static_assert(std::is_trivially_destructible_v<T>, "NodeArray never destroys its nodes");

public:
    NodeArray() = default;
    ~NodeArray() { release(); }

    // Room for count nodes, from the allocator's arena; any earlier nodes are gone.
    void reset(std::size_t count, ArenaAllocator<T> allocator = {}) {
        release();
        m_allocator = allocator;
        m_nodes = count == 0 ? nullptr : m_allocator.allocate(count);
        m_capacity = count;
    }
    template <class... Args> T* emplace(Args&&... args) {
        return new (m_nodes + m_size++) T(std::forward<Args>(args)...);
    }
    T* at(std::size_t i) const { return std::launder(m_nodes + i); }
    std::size_t size() const { return m_size; }

private:
    void release() {
        if (m_nodes) {
            m_allocator.deallocate(m_nodes, m_capacity);
        }
        m_nodes = nullptr;
        m_size = m_capacity = 0;
    }

    ArenaAllocator<T> m_allocator;
    T* m_nodes = nullptr;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

} // namespace Imple
} // namespace WindowQuery
