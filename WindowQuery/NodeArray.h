#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

namespace WindowQuery {
namespace Imple {

// Nodes made in one go, when their number is known, and kept in one array that frees them together.
// The node type must need no destruction, so the array never runs destructors.
template <class T> class NodeArray {
    static_assert(std::is_trivially_destructible_v<T>, "NodeArray never destroys its nodes");

public:
    // Room for count nodes; any earlier nodes are gone.
    void reset(std::size_t count) {
        m_slots.reset(count == 0 ? nullptr : new Slot[count]);
        m_size = 0;
    }
    template <class... Args> T* emplace(Args&&... args) {
        return new (&m_slots[m_size++]) T(std::forward<Args>(args)...);
    }
    T* at(std::size_t i) const { return std::launder(reinterpret_cast<T*>(&m_slots[i])); }
    std::size_t size() const { return m_size; }

private:
    struct Slot {
        alignas(T) unsigned char bytes[sizeof(T)];
    };
    std::unique_ptr<Slot[]> m_slots;
    std::size_t m_size = 0;
};

} // namespace Imple
} // namespace WindowQuery
