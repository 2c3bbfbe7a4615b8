// The worker pool of the passes over the cases and the settings that choose
// its threads.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/parallel.h"

namespace ordena {
namespace {

TEST(WorkerPool, RunsEveryTaskOnceForAnyNumberOfThreads) {
    for (int threads : {1, 2, 5}) {
        WorkerPool pool(threads);
        EXPECT_EQ(pool.threads(), threads);
        // Several jobs on one pool: the workers wait between them.
        for (int count : {0, 1, 3, 40}) {
            std::vector<std::atomic<int>> runs(static_cast<std::size_t>(count));
            pool.run(count, [&](int k) { runs[static_cast<std::size_t>(k)]++; });
            for (int k = 0; k < count; ++k) EXPECT_EQ(runs[static_cast<std::size_t>(k)].load(), 1) << threads << " " << k;
        }
    }
}

TEST(WorkerPool, RethrowsTheFailureOfTheLowestTaskAfterAllHaveRun) {
    WorkerPool pool(3);
    std::atomic<int> finished{0};
    try {
        pool.run(30, [&](int k) {
            ++finished;
            if (k == 21 || k == 7) throw std::runtime_error("task " + std::to_string(k));
        });
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "task 7");
    }
    EXPECT_EQ(finished.load(), 30);
    // The pool still works afterwards.
    std::atomic<int> again{0};
    pool.run(10, [&](int) { ++again; });
    EXPECT_EQ(again.load(), 10);
}

TEST(ComputeSettings, ComeFromTheEnvironment) {
    ::setenv("ORDENA_THREADS", "3", 1);
    ::setenv("ORDENA_GENERAL_PATH", "1", 1);
    ComputeSettings s = ComputeSettings::fromEnvironment();
    EXPECT_EQ(s.threads, 3);
    EXPECT_TRUE(s.generalPath);
    // Values that are not a positive count, or not 1, leave the defaults.
    ::setenv("ORDENA_THREADS", "two", 1);
    ::setenv("ORDENA_GENERAL_PATH", "yes", 1);
    s = ComputeSettings::fromEnvironment();
    EXPECT_GE(s.threads, 1);
    EXPECT_FALSE(s.generalPath);
    ::setenv("ORDENA_THREADS", "0", 1);
    EXPECT_GE(ComputeSettings::fromEnvironment().threads, 1);
    ::unsetenv("ORDENA_THREADS");
    ::unsetenv("ORDENA_GENERAL_PATH");
    EXPECT_GE(ComputeSettings::fromEnvironment().threads, 1);
    EXPECT_FALSE(ComputeSettings::fromEnvironment().generalPath);
}

}  // namespace
}  // namespace ordena
