// The benchmark workloads: data generated from fixed seeds with the
// project's own random generators, written as fixed-column data files, and
// the command file that analyses each.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ordena::bench {

enum class DataKind {
    Dichotomous,    // Rasch items scored 0/1
    PartialCredit,  // four categories and two continuous background variables
    TwoDimensions,  // dichotomous items, the first half on one dimension, the rest on another
    Raters,         // one record per case and rater, three categories
    Booklets,       // rotated booklets of item clusters, three dimensions, ten background variables
    Simulation,     // a replicated study: the data file holds the generating item difficulties
};

// The booklet design of the large-scale assessment workload: clusters of
// items, each case answering a rotation of a few of them.
inline constexpr int kClusters = 12;
inline constexpr int kClusterItems = 15;
inline constexpr int kBookletClusters = 4;
inline constexpr int kBackground = 10;

struct WorkloadSpec {
    std::string id;           // "W1", "W3-ram", ...
    std::string title;        // one line for the table
    DataKind kind = DataKind::Dichotomous;
    std::string dataName;     // workloads with the same data share the file
    std::string scriptName;
    int cases = 0;
    int items = 0;
    int categories = 2;
    int raters = 0;           // Raters only: records per case
    std::int32_t seed = 1;
    std::string estimateOptions;  // text after "estimate !", empty for none
    std::string plausibleName;    // plausible value file the script writes, if any
    int replications = 0;         // Simulation only: replications of the study
    std::vector<std::string> outputNames;  // further files the script writes (removed before each run)
    std::string afterEstimate;    // statements between the estimate and the closing show
    std::string systemFileName;   // system file the script saves, if any
    double targetSeconds = 0.0;   // end-to-end target; 0 for none
    double targetMemoryMB = 0.0;  // peak resident memory target; 0 for none
    // Extra environment of the runs ("NAME=value"), e.g. to force the
    // engine's general path for a before/after figure in the same run.
    std::vector<std::string> environment;
};

// W1 to W7 as the benchmark runs them. scale multiplies the number of cases
// (at least 10 remain), so tests can make tiny versions of the same files.
std::vector<WorkloadSpec> standardWorkloads(double scale = 1.0);

// Writes the data file into dir and returns the number of responses in it
// (for a simulation, the responses the study generates).
// Throws std::runtime_error when the file cannot be written.
std::int64_t writeDataFile(const WorkloadSpec& spec, const std::string& dir);

// The command file's text, and writing it into dir.
std::string scriptText(const WorkloadSpec& spec);
void writeScriptFile(const WorkloadSpec& spec, const std::string& dir);

// Responses in the data file of spec (every generated response is valid).
std::int64_t responseCount(const WorkloadSpec& spec);

}  // namespace ordena::bench
