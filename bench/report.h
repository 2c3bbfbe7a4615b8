// The figures of one workload and their table and JSON forms.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "bench/runner.h"
#include "bench/workloads.h"

namespace ordena::bench {

// E-step throughput floor in response-node products per second.
constexpr double kThroughputTarget = 1e9;

struct Measurement {
    WorkloadSpec spec;
    std::int64_t responses = 0;     // as generated
    std::vector<double> wallSeconds; // one per run
    double medianWall = 0.0;
    double peakRssMB = 0.0;          // highest over the runs
    int iterations = 0;
    bool iterationsAgree = true;     // every run gave the same count
    std::map<std::string, double> timing;  // the engine's figures of the median run
    double msPerIteration = -1.0;    // < 0 when unknown
    bool msFromEngine = false;       // from the engine's iteration time, else wall time / iterations
    double throughput = -1.0;        // response-node products per second, < 0 when unknown
    bool ok = false;                 // every run ended with status 0
    std::string problem;             // why not
};

// Median of the values (mean of the middle two for an even count).
double median(std::vector<double> values);

// Combines the runs of one workload into its figures.
Measurement summarise(const WorkloadSpec& spec, std::int64_t responses, const std::vector<RunResult>& runs);

bool wallTargetMet(const Measurement& m);
bool memoryTargetMet(const Measurement& m);

std::string table(const std::vector<Measurement>& ms);
// For the workloads that save and load a system file: the save and load
// times and those of the data passes and model file build that loading
// spares.
std::string systemFileLines(const std::vector<Measurement>& ms);
std::string json(const std::vector<Measurement>& ms, const std::map<std::string, std::string>& about);

}  // namespace ordena::bench
