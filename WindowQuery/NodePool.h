#pragma once

#include <boost/noncopyable.hpp>
#include <boost/pool/object_pool.hpp>

#include <cstddef>
#include <mutex>
#include <new>
#include <utility>

namespace WindowQuery {
namespace Imple {

// An object pool that builder threads share. Objects live until the pool is destroyed, which destroys
// them all at once; nothing is given back one by one.
template <class T> class NodePool : private boost::noncopyable {
public:
    NodePool() : m_pool(FIRST_BLOCK, LARGEST_BLOCK) {}

    // Construction happens under the lock, so constructors must be cheap: build after creating.
    template <class... Args> T* create(Args&&... args) {
        std::lock_guard<std::mutex> lock(m_mutex);
        T* memory = m_pool.malloc();
        if (!memory) {
            throw std::bad_alloc();
        }
        try {
            return new (memory) T(std::forward<Args>(args)...);
        } catch (...) {
            m_pool.free(memory);
            throw;
        }
    }

private:
    // Blocks double from the first size up to the largest, so a large tree needs few of them, while
    // the unused part of the last block stays small: the pool writes through every block it adds.
    static constexpr std::size_t FIRST_BLOCK = 256;
    static constexpr std::size_t LARGEST_BLOCK = 65536;

    std::mutex m_mutex;
    boost::object_pool<T> m_pool;
};

} // namespace Imple
} // namespace WindowQuery
