// Options of the estimate statement, anchors and initial values.
#pragma once

#include <cstdint>

#include "base/mstring.h"

namespace ordena {

enum class EstimationMethod { Unset, Quadrature, MonteCarlo, Gauss, Jml };
enum class StorageMode { Disk, Ram };
enum class StdErrMode { Quick, Full, None };
enum class Distribution { Normal, Discrete };

// Case-estimate types, as stored and reported.
enum CaseEstimateType { kCaseLatent = 0, kCaseEap = 1, kCaseNone = 2, kCaseWle = 3, kCaseMle = 4 };

struct EstimateOptions {
    double convergence = 0.0001;
    std::int32_t nodes = 0;  // 0: not given
    EstimationMethod method = EstimationMethod::Unset;
    MString plausibleFile;
    std::int32_t iterations = 1000;
    StorageMode storage = StorageMode::Disk;
    float minNode = -6.0f;
    float maxNode = 6.0f;
    StdErrMode stdErr = StdErrMode::Quick;
    bool fit = true;
    Distribution distribution = Distribution::Normal;
    double devianceChange = 0.0001;
    double alpha = 0.0;
    bool abilities = false;
};

// Anchors and initial values to apply at the next estimation.
enum AnchorKind {
    kAnchorItem = 0,
    kInitItem = 1,
    kAnchorRegression = 2,
    kInitRegression = 3,
    kAnchorCovariance = 4,
    kInitCovariance = 5
};

struct AnchorEntry {
    std::int32_t kind = 0;
    std::int32_t first = 0;
    std::int32_t second = 0;
    float value = 0.0f;
};

}  // namespace ordena
