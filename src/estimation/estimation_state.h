// The options of the last estimate statement and every result of the last
// estimation. Reports, exports, fit and system files read them.
#pragma once

#include <cstdint>
#include <vector>

#include "base/mstring.h"
#include "estimation/estimate_options.h"

namespace ordena {

struct EstimationState {
    int estimated = 0;  // 1 when the estimates belong to the current specification

    EstimateOptions options;
    std::vector<AnchorEntry> anchors;  // filled by import

    // Stored case estimates that must be computed again before a report uses
    // them (set changes, reset).
    bool eapAvailable = false;
    bool plausibleAvailable = false;
    bool mleAvailable = false;
    bool wleAvailable = false;

    // Marks every stored case estimate as needing computation again.
    void invalidateCaseEstimates() { eapAvailable = plausibleAvailable = mleAvailable = wleAvailable = false; }

    // After set n_plausible: EAPs and plausible values are drawn again. The
    // owner of the case score file also re-creates it here with an empty
    // record for every case.
    void plausibleCountChanged() { eapAvailable = plausibleAvailable = false; }
    // Reset: releases the work arrays of the last estimation.
    void releaseWorkArrays() {}
    // Reset and exit: deletes the case score file and the estimation's other
    // work files.
    void removeWorkFiles() {}
};

}  // namespace ordena
