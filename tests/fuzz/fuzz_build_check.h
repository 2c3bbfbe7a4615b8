// After a model build: the build either failed with a report, or every case
// the response reader hands out refers to generalised items and categories
// that exist, until the reader ends or refuses a case with a report.
#pragma once

#include <algorithm>
#include <array>
#include <cstdio>

#include "data/response_reader.h"
#include "fuzz_session.h"
#include "model/model_builder.h"

namespace ordena::fuzz {

inline void buildAndRead(Session& session, FuzzShell& shell, bool ram = false) {
    ShellScope scope(session);
    const int errorsBefore = shell.errors;
    ModelBuildInputs inputs;
    inputs.ram = ram;
    int built = buildModel(session, inputs);
    if (built == -1) {
        if (shell.errors == errorsBefore) fuzz::broken();  // a failure always says why
        return;
    }
    if (built != 1) fuzz::broken();
    const ModelBuild& b = session.ws.build;
    if (b.items < 0 || b.categoryCount.size() != static_cast<std::size_t>(b.items)) fuzz::broken();

    ResponseReader reader(session.ws.data.passes);
    if (reader.open(session) != 1) fuzz::broken();
    std::array<std::int32_t, kMaxCaseResponses> itemNo{}, rsp{};
    bool last = false;
    int cases = 0, previous = -1;
    while (!last) {
        int caseNumber = -1;
        const int errorsBeforeRead = shell.errors;
        int n = reader.next(caseNumber, itemNo.data(), rsp.data(), last, session);
        if (n < 0) {
            // A refusal that says why is right (a case with more than 1000
            // responses, say); a silent one is not.
            if (shell.errors == errorsBeforeRead) fuzz::broken();
            return;
        }
        if (n == 0 && !last && caseNumber < 0) fuzz::broken();
        for (int i = 0; i < n; ++i) {
            const std::int32_t g = itemNo[static_cast<std::size_t>(i)];
            if (g < 0 || g >= b.items) fuzz::broken();
            const std::int32_t k = rsp[static_cast<std::size_t>(i)];
            // A case without valid responses arrives as one category-0 placeholder.
            if (k < 0 || k >= std::max(1, b.maxCategories)) {
                std::fprintf(stderr, "item %d category %d of %d (%d)\n", g, k, b.maxCategories, b.categoryCount[g]);
                fuzz::broken();
            }
        }
        if (caseNumber >= 0) {
            if (caseNumber <= previous || caseNumber >= session.ws.data.passes.cases) {
                std::fprintf(stderr, "case %d after %d of %d\n", caseNumber, previous, session.ws.data.passes.cases);
                fuzz::broken();
            }
            previous = caseNumber;
            ++cases;
        }
        if (cases > session.ws.data.passes.cases) fuzz::broken();
    }
}

}  // namespace ordena::fuzz
