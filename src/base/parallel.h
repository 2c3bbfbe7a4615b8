// Threads for the passes over the cases. A pass splits its cases into
// chunks whose boundaries depend only on the data, works on the chunks in
// any order on any thread, and adds their sums in chunk order; so the
// numbers are the same for every thread count, one included.
#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace ordena {

// How the engine computes, chosen from the environment when a session
// starts: ORDENA_THREADS (the number of threads of the passes over the
// cases; default the number of cores) and ORDENA_GENERAL_PATH (1: every
// model takes the general computations, never the shortcuts of its
// structure; for tests and before/after figures).
struct ComputeSettings {
    int threads = 1;
    bool generalPath = false;

    static ComputeSettings fromEnvironment();
};

// The threads of one pass. The calling thread works too; the others wait
// on a condition variable between jobs, so an idle pool costs nothing.
class WorkerPool {
public:
    explicit WorkerPool(int threads);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    int threads() const { return static_cast<int>(workers_.size()) + 1; }

    // Calls task(k) for every k in [0, count) and returns when all are
    // done. When tasks throw, the exception of the lowest k is rethrown.
    void run(int count, const std::function<void(int)>& task);

private:
    void work();
    void take(std::unique_lock<std::mutex>& lock);

    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable start_, finished_;
    const std::function<void(int)>* task_ = nullptr;
    std::vector<std::exception_ptr> errors_;
    int count_ = 0, next_ = 0, done_ = 0;
    unsigned long generation_ = 0;
    bool stop_ = false;
};

}  // namespace ordena
