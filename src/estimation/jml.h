// Joint maximum likelihood: every case's estimate and the item parameters
// estimated in turn, each by Newton steps with the other held fixed, with
// no population model.
#pragma once

#include <cstdint>
#include <vector>

namespace ordena {

class Session;

// Which generalised items each case answered: the item of every response,
// case after case, in response order (a repeated response is listed again,
// so it counts again in both updates).
struct CaseResponses {
    std::vector<std::int64_t> start;  // N + 1 offsets into items
    std::vector<std::int32_t> items;

    int count(int n) const {
        return static_cast<int>(start[static_cast<std::size_t>(n) + 1] - start[static_cast<std::size_t>(n)]);
    }
    const std::int32_t* of(int n) const { return items.data() + start[static_cast<std::size_t>(n)]; }
};

// The whole estimation once the model is built: set-up, the iterations,
// the case estimates into the case score file, the export files and item
// fit. 1, or -1 after the reports.
int jmlDriver(Session& session);

}  // namespace ordena
