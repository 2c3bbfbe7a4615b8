// How the engine computes, chosen from the environment when a session
// starts: the threads of the passes over the cases (see
// estimation/case_pass.h) and whether it may use the shortcuts that the
// structure of a model allows.
#pragma once

namespace ordena {

// From the environment: ORDENA_THREADS (the number of threads of the passes over the
// cases; default the number of cores) and ORDENA_GENERAL_PATH (1: every
// model takes the general computations, never the shortcuts of its
// structure; for tests and before/after figures).
struct ComputeSettings {
    int threads = 1;
    bool generalPath = false;
    // Rough operation count below which a pass over the cases runs on one
    // thread: waking the others would cost more than they save. Tests set it
    // to 0 to share out even small passes.
    double parallelWork = 2.0e7;

    static ComputeSettings fromEnvironment();
};

}  // namespace ordena
