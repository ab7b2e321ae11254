#include "WindowQuery/ThreadManager.h"

namespace WindowQuery {
namespace Imple {

ThreadManager::Request::~Request() {
    if (m_manager) {
        m_manager->giveBack();
    }
}

std::shared_ptr<ThreadManager::Request> ThreadManager::request() {
    // Allocate before taking a grant, so that a failed allocation cannot lose one.
    std::shared_ptr<Request> request(new Request(nullptr));
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_available > 0) {
        --m_available;
        request->m_manager = this;
    }
    return request;
}

unsigned ThreadManager::available() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_available;
}

// Called from a destructor: a mutex failure here cannot be reported and ends the process.
void ThreadManager::giveBack() noexcept {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_available;
}

} // namespace Imple
} // namespace WindowQuery
