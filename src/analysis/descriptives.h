// Descriptive statistics of the case estimates: per group and dimension the
// number of cases, mean, standard deviation and variance with their
// standard errors, percentiles, the proportions in bands between cuts and
// the proportions below and above an uncertain benchmark. With plausible
// values each statistic is computed once per plausible value and combined.
#pragma once

#include <vector>

#include "base/mstring.h"
#include "command/option_table.h"

namespace ordena {

class Session;

struct DescriptivesOptions {
    int kind;  // kCaseMle, kCaseWle, kCaseEap or kCaseLatent (plausible values)
    std::vector<double> percentiles;
    std::vector<double> cuts;
    MString group;
    MString exemptions;
    std::vector<double> benchmark;  // location, uncertainty, replications
    bool benchmarkGiven = false;
    bool longDisplay = true;

    DescriptivesOptions();
};

// The options of the descriptives statement.
const OptionTable<DescriptivesOptions>& descriptivesOptionTable();
// Reads the option text of the statement. 1, or -1 after the error report.
int parseDescriptivesOptions(Session& session, const MString& text, DescriptivesOptions& options);

// The value at sorted position floor(n * q / 100) for each percentile q; a
// position past the end (q = 100) gives the largest value. Empty values
// give NaN.
std::vector<double> percentileValues(std::vector<double> values, const std::vector<double>& percentiles);

// K + 1 counts for K cuts: a value goes to the first band k with value <=
// cut k, or to band K above every cut. With proportions each count is
// divided by the number of values.
std::vector<double> bandProportions(const std::vector<double>& values, const std::vector<double>& cuts,
                                    bool proportions);

// The proportions of values at or below and above a benchmark drawn anew in
// each of R replications as location + uncertainty * z, z from a normal
// generator seeded with seed afresh at every call: their means over the
// replications and their variances (divisor R - 1; NaN for R = 1). With a
// session, the status line counts the replications and the stop poll runs.
struct BenchmarkProportions {
    double mean[2] = {0.0, 0.0};  // below or at, above
    double variance[2] = {0.0, 0.0};
};
BenchmarkProportions benchmarkReplications(const std::vector<double>& values, double location, double uncertainty,
                                           int replications, int seed, Session* session = nullptr);

// The count of exempted cases of a group value from an exemptions file:
// 0 for an empty file name, -1 when the count cannot be read (an unreadable
// file is reported here).
int exemptionCount(Session& session, const MString& name, const MString& value, const MString& file);

// The standard error of a statistic combined over V plausible values, t
// its V values: sqrt(within + (V + 1) / V * between), the between variance
// having divisor V - 1 (NaN for one plausible value).
double plausibleValueError(const std::vector<double>& t, double within);

// The descriptives statement.
int descriptivesCommand(Session& session, const MString& arguments);

}  // namespace ordena
