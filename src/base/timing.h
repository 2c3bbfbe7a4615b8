// Figures from inside an estimation for the benchmark program: how long the
// E-step passes and the iterations took and how much work the passes did.
// One accumulator per session; the engine fills it, the batch front end
// prints it on standard error at exit when ORDENA_TIMING=1. Collecting costs
// two clock readings per pass, so it is always on.
#pragma once

#include <chrono>
#include <cstdint>

#include "base/mstring.h"

namespace ordena {

// Elapsed wall time from construction (or the last restart).
class Stopwatch {
public:
    Stopwatch() : start_(std::chrono::steady_clock::now()) {}
    void restart() { start_ = std::chrono::steady_clock::now(); }
    double seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }

private:
    std::chrono::steady_clock::time_point start_;
};

struct Timing {
    // E-step passes of the iterations and their total time.
    std::int64_t estepPasses = 0;
    double estepSeconds = 0.0;
    // Responses and nodes of the last pass.
    std::int64_t responses = 0;
    std::int64_t nodes = 0;
    // Sum over the passes of responses times nodes: the work of the passes.
    double responseNodes = 0.0;
    // Iterations (E-step, M-step and change report) and their total time.
    std::int64_t iterations = 0;
    double iterationSeconds = 0.0;
    // E-step passes that worked dimension by dimension, and the threads of
    // the last pass over the cases.
    std::int64_t factorisedPasses = 0;
    int threads = 0;
    // The data passes and the model file builds of the model builds, and
    // the system files saved and loaded.
    double dataPassSeconds = 0.0;
    double modelFileSeconds = 0.0;
    double putSeconds = 0.0;
    double getSeconds = 0.0;

    // One E-step pass that took the given time over that many responses
    // (summed over the cases processed) and nodes.
    void addEStep(double seconds, std::int64_t passResponses, std::int64_t passNodes);
    // One whole iteration.
    void addIteration(double seconds);
    void clear() { *this = Timing(); }

    // "timing estep_passes=N estep_seconds=S responses=R nodes=Q
    // response_nodes=X iterations=I iteration_seconds=T factorised_passes=F
    // threads=H data_pass_seconds=P model_file_seconds=M put_seconds=U
    // get_seconds=G", no line end.
    MString report() const;
};

}  // namespace ordena
