#include "WindowQuery/ThreadManager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

using WindowQuery::Imple::ThreadManager;

TEST(ThreadManager, NestedRunsNeverExceedTheGrants) {
    ThreadManager manager(3);
    std::vector<std::shared_ptr<ThreadManager::Request>> held;
    // Hold every grant from inside a task: deeper splits must then run in line.
    manager.runBoth(
        true, [] {},
        [&] {
            while (manager.available() > 0) {
                held.push_back(manager.request());
            }
            const std::thread::id here = std::this_thread::get_id();
            std::thread::id first;
            manager.runBoth(
                true, [&] { first = std::this_thread::get_id(); }, [] {});
            EXPECT_EQ(first, here);
        });
    held.clear();
    EXPECT_EQ(manager.available(), 3u);
}

TEST(ThreadManager, FailuresOfEitherTaskReachTheCaller) {
    ThreadManager manager(1);
    bool secondRan = false;
    EXPECT_THROW(manager.runBoth(
                     true, [] { throw std::runtime_error("first"); }, [&] { secondRan = true; }),
                 std::runtime_error);
    EXPECT_TRUE(secondRan);
    EXPECT_EQ(manager.available(), 1u);

    bool firstRan = false;
    EXPECT_THROW(manager.runBoth(
                     true, [&] { firstRan = true; }, [] { throw std::logic_error("second"); }),
                 std::logic_error);
    EXPECT_TRUE(firstRan);
    EXPECT_EQ(manager.available(), 1u);
}

TEST(ThreadManager, RunAllRunsEveryJobOnceOnTheGrantedThreads) {
    for (unsigned grants : {0u, 1u, 3u}) {
        ThreadManager manager(grants);
        std::vector<std::atomic<int>> runs(1000);
        std::mutex threadsMutex;
        std::set<std::thread::id> threads;
        manager.runAll(runs.size(), [&](std::size_t i) {
            ++runs[i];
            const std::lock_guard<std::mutex> lock(threadsMutex);
            threads.insert(std::this_thread::get_id());
        });
        for (const std::atomic<int>& count : runs) {
            EXPECT_EQ(count.load(), 1);
        }
        EXPECT_LE(threads.size(), grants + 1);
        EXPECT_EQ(manager.available(), grants);
    }
}

TEST(ThreadManager, RunAllStopsStartingJobsAfterAFailureAndRethrowsIt) {
    auto failAtTen = [](ThreadManager& manager, std::atomic<std::size_t>& started) {
        manager.runAll(100000, [&](std::size_t i) {
            ++started;
            if (i == 10) {
                throw std::runtime_error("job");
            }
        });
    };
    // On the calling thread alone the jobs after the failing one are never started.
    ThreadManager alone(0);
    std::atomic<std::size_t> started{0};
    EXPECT_THROW(failAtTen(alone, started), std::runtime_error);
    EXPECT_EQ(started.load(), 11u);
    // With a helper, which job fails first depends on timing, but the failure still comes back and so
    // does the grant.
    ThreadManager helped(1);
    EXPECT_THROW(failAtTen(helped, started), std::runtime_error);
    EXPECT_EQ(helped.available(), 1u);
}
