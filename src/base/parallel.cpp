#include "base/parallel.h"

#include <cstdlib>
#include <cstring>

namespace ordena {

ComputeSettings ComputeSettings::fromEnvironment() {
    ComputeSettings s;
    const unsigned cores = std::thread::hardware_concurrency();
    s.threads = cores > 0 ? static_cast<int>(cores) : 1;
    if (const char* t = std::getenv("ORDENA_THREADS")) {
        char* end = nullptr;
        const long n = std::strtol(t, &end, 10);
        if (end != t && *end == '\0' && n >= 1) s.threads = n > 256 ? 256 : static_cast<int>(n);
    }
    if (const char* g = std::getenv("ORDENA_GENERAL_PATH")) s.generalPath = std::strcmp(g, "1") == 0;
    return s;
}

WorkerPool::WorkerPool(int threads) {
    for (int t = 1; t < threads; ++t) workers_.emplace_back([this] { work(); });
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    start_.notify_all();
    for (std::thread& t : workers_) t.join();
}

// Runs the tasks that are left; called with the lock held, returns with it.
void WorkerPool::take(std::unique_lock<std::mutex>& lock) {
    while (next_ < count_) {
        const int k = next_++;
        lock.unlock();
        std::exception_ptr error;
        try {
            (*task_)(k);
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        if (error) errors_[static_cast<std::size_t>(k)] = error;
        if (++done_ == count_) finished_.notify_all();
    }
}

void WorkerPool::work() {
    std::unique_lock<std::mutex> lock(mutex_);
    unsigned long seen = generation_;
    for (;;) {
        start_.wait(lock, [&] { return stop_ || generation_ != seen; });
        if (stop_) return;
        seen = generation_;
        take(lock);
    }
}

void WorkerPool::run(int count, const std::function<void(int)>& task) {
    if (count <= 0) return;
    if (workers_.empty() || count == 1) {
        for (int k = 0; k < count; ++k) task(k);
        return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    task_ = &task;
    errors_.assign(static_cast<std::size_t>(count), nullptr);
    count_ = count;
    next_ = done_ = 0;
    ++generation_;
    start_.notify_all();
    take(lock);
    finished_.wait(lock, [&] { return done_ == count_; });
    task_ = nullptr;
    count_ = 0;
    for (const std::exception_ptr& e : errors_)
        if (e) std::rethrow_exception(e);
}

}  // namespace ordena
