#pragma once

#include <boost/noncopyable.hpp>

#include <cstddef>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace WindowQuery {
namespace Imple {

// Bounds the extra threads of a parallel build. A grant lets a builder hand one half of its work to a
// new thread while it does the other half itself; the grant goes back when the request is released.
class ThreadManager : private boost::noncopyable {
public:
    class Request : private boost::noncopyable {
    public:
        ~Request();
        bool isGranted() const { return m_manager != nullptr; }

    private:
        friend class ThreadManager;
        explicit Request(ThreadManager* manager) : m_manager(manager) {}
        ThreadManager* m_manager;
    };

    explicit ThreadManager(unsigned available) : m_available(available) {}

    std::shared_ptr<Request> request();
    unsigned available() const;

    // Runs both tasks, the first on a thread of its own when the split is worth a thread and a grant is
    // free. Returns once both are done; a failure of either is rethrown here.
    template <class First, class Second> void runBoth(bool worthSplitting, First&& first, Second&& second);

private:
    void giveBack() noexcept;

    mutable std::mutex m_mutex;
    unsigned m_available;
};

template <class First, class Second>
void ThreadManager::runBoth(bool worthSplitting, First&& first, Second&& second) {
    std::shared_ptr<Request> grant = worthSplitting ? request() : nullptr;
    if (!grant || !grant->isGranted()) {
        first();
        second();
        return;
    }
    std::exception_ptr workerFailure;
    std::thread worker([&first, &workerFailure] {
        try {
            first();
        } catch (...) {
            workerFailure = std::current_exception();
        }
    });
    try {
        second();
    } catch (...) {
        worker.join();
        throw;
    }
    worker.join();
    if (workerFailure) {
        std::rethrow_exception(workerFailure);
    }
}

} // namespace Imple
} // namespace WindowQuery
