// The results of the last estimation and the options it ran with.
#pragma once

namespace ordena {

struct EstimationState {
    int estimated = 0;  // 1 when the estimates belong to the current specification
};

}  // namespace ordena
