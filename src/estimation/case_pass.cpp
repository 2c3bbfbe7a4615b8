#include "estimation/case_pass.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "base/compute_settings.h"
#include "base/index.h"
#include "command/session.h"
#include "data/response_reader.h"

namespace ordena {

void CaseChunk::clear() {
    caseNumbers.clear();
    start.assign(1, 0);
    items.clear();
    categories.clear();
}

void CaseChunk::add(int caseNumber, const std::int32_t* itemNo, const std::int32_t* rsp, int m) {
    caseNumbers.push_back(caseNumber);
    items.insert(items.end(), itemNo, itemNo + m);
    categories.insert(categories.end(), rsp, rsp + m);
    start.push_back(items.size());
}

void DeferredReports::replay(Shell& to) {
    for (const auto& [kind, text] : reports_) switch (kind) {
            case Kind::Error: to.errorReport(text); break;
            case Kind::Warning: to.warningReport(text); break;
            case Kind::Information: to.informationBox(text); break;
            case Kind::Output: to.appendOutput(text); break;
        }
    reports_.clear();
}

int casePassSlots(const Session& session) {
    // A few chunks per thread keep both busy when chunks differ in cost.
    return std::max(1, session.compute.threads) * 4;
}

namespace {

// Operations below which a chunk costs more to hand over than to do.
constexpr std::int64_t kChunkWork = 250000;

}  // namespace

int chunkCasesFor(std::int64_t tableSize, std::int64_t workPerCase) {
    // Clearing and adding a chunk's table costs two passes over it; with
    // thirty-two times that in work on the cases it stays a few percent.
    const std::int64_t work = std::max<std::int64_t>(1, workPerCase);
    const std::int64_t cases = std::max(32 * std::max<std::int64_t>(1, tableSize), kChunkWork) / work + 1;
    return static_cast<int>(std::clamp<std::int64_t>(cases, 64, 8192));
}

double meanResponses(const Session& session) {
    const DataPassState& passes = session.ws.data.passes;
    return passes.cases > 0 ? static_cast<double>(passes.responseRecords) / passes.cases : 1.0;
}

namespace {

// The chunks of a pass flow through its stages in slots: the main thread
// reads chunk k into slot k mod slots once the chunk before it there has
// passed every stage, runs the in-order stages chunk after chunk, and works
// on parallel stages when it has nothing else to do; the other threads
// only work on parallel stages. No thread waits for a whole batch, so a
// thread the machine holds back delays one chunk, not the pass.
class CasePipeline {
public:
    CasePipeline(Session& session, EstimationWork& work, const CasePass& pass, int slots, int threads)
        : session_(session), work_(work), pass_(pass), chunks_(static_cast<std::size_t>(slots)),
          reports_(static_cast<std::size_t>(slots)), slots_(static_cast<std::size_t>(slots)),
          reader_(session.ws.data.passes) {
        for (const CasePassStage& stage : pass.stages)
            if (!stage.parallel) ordered_.push_back(static_cast<int>(&stage - pass.stages.data()));
        nextOrdered_.assign(ordered_.size(), 0);
        for (int t = 1; t < threads; ++t) workers_.emplace_back([this] { workerLoop(); });
    }
    ~CasePipeline() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        workAvailable_.notify_all();
        for (std::thread& t : workers_) t.join();
        reader_.close();
    }

    int run();

private:
    struct Slot {
        bool loaded = false;   // holds a chunk that has stages left
        bool running = false;  // a thread works on it now
        int stage = 0;         // the next stage to run
        long long index = -1;  // the chunk's number in the pass
    };

    // A parallel stage some slot waits for, or -1.
    int parallelTask() const {
        int best = -1;
        for (std::size_t k = 0; k < slots_.size(); ++k) {
            const Slot& s = slots_[k];
            if (!s.loaded || s.running || s.stage >= stageCount() || !stage(s.stage).parallel) continue;
            if (best < 0 || s.index < at(slots_, best).index) best = static_cast<int>(k);
        }
        return best;
    }
    int stageCount() const { return static_cast<int>(pass_.stages.size()); }
    const CasePassStage& stage(int j) const { return at(pass_.stages, j); }
    int slotOf(long long index) const { return static_cast<int>(index % static_cast<long long>(slots_.size())); }

    // Runs a parallel stage of slot k; called with the lock held.
    void runParallel(int k, std::unique_lock<std::mutex>& lock) {
        Slot& s = at(slots_, k);
        s.running = true;
        const int stage = s.stage;
        lock.unlock();
        std::exception_ptr error;
        try {
            ShellScope scope(at(reports_, k));
            this->stage(stage).run(k, at(chunks_, k));
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        s.running = false;
        finishStage(k);
        if (error && !error_) {
            error_ = error;
            stop_ = true;
        }
        progress_.notify_all();
        workAvailable_.notify_all();
    }
    void finishStage(int k) {
        Slot& s = at(slots_, k);
        if (++s.stage >= stageCount()) s.loaded = false;
    }
    void workerLoop() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            if (stop_) return;
            const int k = parallelTask();
            if (k >= 0) {
                runParallel(k, lock);
                continue;
            }
            workAvailable_.wait(lock);
        }
    }
    // Reads the next chunk into its slot; false at the end of the file or
    // after a failure (result_ then -1).
    bool read(CaseChunk& chunk) {
        chunk.clear();
        while (chunk.count() < std::max(1, pass_.chunkCases) && !last_) {
            int caseNumber = -1;
            const int m = reader_.next(caseNumber, work_.itemNo.data(), work_.rsp.data(), last_, session_);
            if (m < 0) {
                result_ = -1;
                return false;
            }
            if (caseNumber < 0) continue;
            if ((!pass_.polls || pass_.polls(caseNumber)) && session_.pollForStop()) {
                result_ = -1;
                return false;
            }
            chunk.add(caseNumber, work_.itemNo.data(), work_.rsp.data(), m);
        }
        return chunk.count() > 0;
    }

    Session& session_;
    EstimationWork& work_;
    const CasePass& pass_;
    std::vector<CaseChunk> chunks_;
    std::vector<DeferredReports> reports_;
    std::vector<Slot> slots_;
    std::vector<int> ordered_;                 // the in-order stages
    std::vector<long long> nextOrdered_;       // per in-order stage: the chunk it takes next
    ResponseReader reader_;
    bool last_ = false;
    int result_ = 1;
    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable workAvailable_, progress_;
    std::exception_ptr error_;
    bool stop_ = false;
};

int CasePipeline::run() {
    if (reader_.open(session_) != 1) return -1;
    long long nextRead = 0;
    bool endOfFile = false;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (error_) break;
        // The in-order stages, each on the next chunk in order.
        bool moved = false;
        for (std::size_t j = 0; j < ordered_.size() && !moved; ++j) {
            const long long index = nextOrdered_[j];
            if (index >= nextRead) continue;
            const int k = slotOf(index);
            Slot& s = at(slots_, k);
            if (s.index != index || !s.loaded || s.running || s.stage != ordered_[j]) continue;
            s.running = true;
            lock.unlock();
            at(reports_, k).replay(session_);
            const int status = stage(ordered_[j]).run(k, at(chunks_, k));
            lock.lock();
            s.running = false;
            if (status != 1) {
                result_ = -1;
                break;
            }
            finishStage(k);
            if (!s.loaded) {
                lock.unlock();
                at(reports_, k).replay(session_);
                lock.lock();
            }
            ++nextOrdered_[j];
            moved = true;
            workAvailable_.notify_all();
        }
        if (result_ != 1) break;
        if (moved) continue;
        // The next chunk, when its slot is free.
        const int k = slotOf(nextRead);
        Slot& s = at(slots_, k);
        if (!endOfFile && !s.loaded && !s.running) {
            lock.unlock();
            // Reports of a chunk whose last stage ran in parallel.
            at(reports_, k).replay(session_);
            const bool got = read(at(chunks_, k));
            lock.lock();
            if (result_ != 1) break;
            if (!got) {
                endOfFile = true;
            } else {
                s.loaded = true;
                s.stage = 0;
                s.index = nextRead++;
                // A pass that starts with an in-order stage leaves it to the
                // loop above.
                workAvailable_.notify_all();
            }
            continue;
        }
        const int task = parallelTask();
        if (task >= 0) {
            runParallel(task, lock);
            continue;
        }
        bool busy = false;
        for (const Slot& slot : slots_) busy = busy || slot.loaded || slot.running;
        if (endOfFile && !busy) break;
        progress_.wait(lock);
    }
    // Whatever ends the pass, no thread may still work on its chunks.
    stop_ = true;
    workAvailable_.notify_all();
    progress_.wait(lock, [&] {
        for (const Slot& slot : slots_)
            if (slot.running) return false;
        return true;
    });
    if (error_) std::rethrow_exception(error_);
    if (result_ == 1) {
        const long long firstKept = std::max(0LL, nextRead - static_cast<long long>(slots_.size()));
        for (long long index = firstKept; index < nextRead; ++index) at(reports_, slotOf(index)).replay(session_);
    }
    return result_;
}

}  // namespace

int runCasePass(Session& session, EstimationWork& work, const CasePass& pass) {
    const int slots = casePassSlots(session);
    int threads = std::min(std::max(1, session.compute.threads), slots);
    if (pass.workPerCase * session.ws.data.passes.cases < session.compute.parallelWork) threads = 1;
    session.timing.threads = threads;
    CasePipeline pipeline(session, work, pass, slots, threads);
    return pipeline.run();
}

int forEachCase(Session& session, EstimationWork& work, const std::function<int(int, int)>& visit) {
    ResponseReader reader(session.ws.data.passes);
    if (reader.open(session) != 1) return -1;
    for (;;) {
        int caseNumber = -1;
        bool last = false;
        const int m = reader.next(caseNumber, work.itemNo.data(), work.rsp.data(), last, session);
        if (m < 0) return -1;
        if (caseNumber >= 0 && visit(caseNumber, m) != 1) {
            reader.close();
            return -1;
        }
        if (last) break;
    }
    reader.close();
    return 1;
}

MString progressText(const char* title, long long k, long long N) {
    const long long denominator = N - 5;
    const long long p = denominator > 0 ? 100 * k / denominator : 100;
    return MString(title) + itoMString(std::min(100LL, std::max(0LL, p))) + "%";
}

}  // namespace ordena
