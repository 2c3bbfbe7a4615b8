// Traditional item analysis: per generalised item its cases, discrimination
// and, per category, counts, point-biserial correlations and the mean case
// estimate; summary statistics of the test score with coefficient alpha.
#pragma once

#include <cstdint>
#include <vector>

#include "base/mstring.h"
#include "command/option_table.h"
#include "estimation/estimate_options.h"

namespace ordena {

class Session;
struct ModelBuild;
struct Workspace;

struct ItanalOptions {
    int estimates = kCaseLatent;  // kCaseWle, kCaseMle, kCaseEap or kCaseLatent
    int format = 1;               // 1 long, 2 export, 3 csv
    MString file;                 // the ">>" target; empty for the output pane
};

// The options of the itanal statement.
const OptionTable<ItanalOptions>& itanalOptionTable();
// Splits and checks the statement's text. 1, or -1 after the report.
int parseItanalOptions(Session& session, const MString& text, ItanalOptions& options);

// Sums of one pass over the cases.
struct ItanalSums {
    struct Category {
        double count = 0, p = 0;
        std::vector<double> theta, theta2;  // per dimension
        std::vector<double> estimated;      // per dimension: responses whose case has an estimate
    };
    struct Item {
        double n = 0, p = 0, p2 = 0, x = 0, x2 = 0, xp = 0, a = 0, a2 = 0;
        std::vector<Category> categories;
    };
    std::vector<Item> items;
    double N = 0, p1 = 0, p2 = 0, p3 = 0, p4 = 0;
    double responses = 0;
    double answered = 0;  // (case, item) pairs with at least one response
    int largestRepeat = 0;
    double S = 0;  // sum of the items' maximum scores
};

// Item score of a category (sum of its scoring vector) and the item's
// maximum score (the largest of them, from 0).
double categoryScore(const ModelBuild& build, int item, int category);
double itemMaximumScore(const ModelBuild& build, int item);

// Sets up the sums for the build's items (D dimensions of estimates).
ItanalSums emptySums(const ModelBuild& build, int dimensions);
// Adds one case: m responses (items and categories) and, when given, its
// case estimate (D values). caseNumber from 1, for the warning.
void addCase(Session& session, const ModelBuild& build, ItanalSums& sums, int caseNumber, int m,
             const std::int32_t* itemNo, const std::int32_t* rsp, const double* estimate, int dimensions,
             std::vector<int>& repeatCounts);

struct ItanalCategoryResult {
    MString code;
    double score = 0, count = 0, percent = 0;
    bool biserial = false;  // point-biserial and t defined
    double r = 0, t = 0, p = 0;
    std::vector<bool> meanDefined;
    std::vector<double> mean, sd;
};

struct ItanalItemResult {
    int item = 0;  // generalised item index
    double n = 0;
    bool discriminationDefined = false;
    double discrimination = 0;
    std::vector<ItanalCategoryResult> categories;
};

struct ItanalSummary {
    double N = 0, mean = 0, sd = 0, variance = 0, skewness = 0, kurtosis = 0, seMean = 0;
    double sem = 0, alpha = 0, missing = 0;
    bool repeated = false;
};

std::vector<ItanalItemResult> itemResults(const Workspace& ws, const ItanalSums& sums, int dimensions);
ItanalSummary summaryResults(const ItanalSums& sums, int itemCount);

// Thresholds: available when every category k has a scoring vector with
// one entry k and zeros elsewhere.
bool thresholdsAvailable(const ModelBuild& build);
// The ability at which a response in category k or above has probability
// one half, by bisection; L: the category logits a.xsi of the item.
double itemThreshold(const std::vector<double>& L, const std::vector<double>& scores, int first, int k);

// "item:3 (label)" for every model variable of the generalised item.
MString itemDescription(const Workspace& ws, int g);

// What the estimation results say about each item: thresholds, deltas and
// the weighted mean square of its fit line.
struct ItemFacts {
    bool thresholds = false;
    std::vector<double> threshold, delta;
    bool weighted = false;
    double weightedMeanSquare = 0.0;
};
std::vector<ItemFacts> itemFacts(Session& session);

// The itanal statement.
int itanalCommand(Session& session, const MString& arguments);

}  // namespace ordena
