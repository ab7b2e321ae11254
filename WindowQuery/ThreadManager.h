#pragma once

#include <boost/noncopyable.hpp>

#include <atomic>
#include <cstddef>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

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

    // Runs job(0) to job(count - 1), started in that order, on the calling thread and on one extra
    // thread per grant free at the call; every thread takes the next job as soon as it is done with
    // one, so that the threads finish together however uneven the jobs. Returns once all are done;
    // a failure stops the start of further jobs and the first one is rethrown here.
    template <class Job> void runAll(std::size_t count, Job&& job);

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
    std::thread worker;
    try {
        worker = std::thread([&first, &workerFailure] {
            try {
                first();
            } catch (...) {
                workerFailure = std::current_exception();
            }
        });
    } catch (const std::system_error&) {
        // No thread to be had (the WebAssembly module has none): both tasks here.
        first();
        second();
        return;
    }
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

template <class Job> void ThreadManager::runAll(std::size_t count, Job&& job) {
    std::atomic<std::size_t> next{0};
    std::mutex failureMutex;
    std::exception_ptr failure;
    auto work = [&] {
        try {
            for (std::size_t i = next++; i < count; i = next++) {
                job(i);
            }
        } catch (...) {
            next = count;
            const std::lock_guard<std::mutex> lock(failureMutex);
            if (!failure) {
                failure = std::current_exception();
            }
        }
    };
    std::vector<std::shared_ptr<Request>> grants;
    std::vector<std::thread> helpers;
    try {
        for (std::shared_ptr<Request> grant = request(); grant->isGranted() && helpers.size() + 1 < count;
             grant = request()) {
            grants.push_back(std::move(grant));
            try {
                helpers.emplace_back(work);
            } catch (const std::system_error&) {
                break; // no thread to be had: the threads started share the jobs
            }
        }
    } catch (...) {
        next = count; // the helpers already started finish their job and stop
        for (std::thread& helper : helpers) {
            helper.join();
        }
        throw;
    }
    work();
    for (std::thread& helper : helpers) {
        helper.join();
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

} // namespace Imple
} // namespace WindowQuery
