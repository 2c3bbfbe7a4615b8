// The passes over the cases on several threads: chunks of a fixed number of
// cases whatever the thread count, in-order stages that see the chunks in
// order, reports of the parallel stages shown in chunk order, and a pass
// that ends early on a stage's failure, a thrown exception or a stop.
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "data/response_reader.h"
#include "estimation/case_pass.h"
#include "estimation/estimation_work.h"
#include "support/script_session.h"

namespace ordena::test {
namespace {

// 50 cases of six dichotomous responses, case n answering n % 7 of them
// correctly; the data passes have run.
void prepare(ScriptSession& s) {
    std::string data;
    for (int n = 0; n < 50; ++n) {
        char id[16];
        std::snprintf(id, sizeof id, "%3d ", n + 1);
        data += id;
        for (int i = 0; i < 6; ++i) data += i < n % 7 ? '1' : '0';
        data += "\n";
    }
    s.writeFile("c.dat", data);
    ASSERT_EQ(s.runAllOf("datafile c.dat;\nformat pid 1-3 responses 5-10;\nmodel item;\nestimate ! iterations=1;"), 1);
}

struct Seen {
    std::vector<std::vector<int>> chunks;  // in the order the in-order stage saw them
    int responses = 0;
};

Seen runPass(ScriptSession& s, int threads) {
    s.session.compute.threads = threads;
    s.session.compute.parallelWork = 0.0;
    s.shell.clear();
    EstimationWork work;
    work.itemNo.assign(kMaxCaseResponses + 1, 0);
    work.rsp.assign(kMaxCaseResponses + 1, 0);
    std::vector<std::vector<int>> perSlot(static_cast<std::size_t>(casePassSlots(s.session)));
    std::vector<int> responses(perSlot.size(), 0);
    Seen seen;
    CasePass pass;
    pass.chunkCases = 7;
    pass.stages.push_back({true, [&](int slot, const CaseChunk& chunk) {
                               auto& cases = perSlot[static_cast<std::size_t>(slot)];
                               cases.clear();
                               responses[static_cast<std::size_t>(slot)] = 0;
                               for (int c = 0; c < chunk.count(); ++c) {
                                   cases.push_back(chunk.caseNumber(c));
                                   for (int r = 0; r < chunk.responses(c); ++r)
                                       responses[static_cast<std::size_t>(slot)] += chunk.categoriesOf(c)[r];
                               }
                               // Early chunks take longest, so later ones finish first.
                               std::this_thread::sleep_for(std::chrono::milliseconds(cases.front() < 14 ? 20 : 0));
                               currentShell().warningReport("chunk from " + itoMString(cases.front()));
                               return 1;
                           }});
    pass.stages.push_back({false, [&](int slot, const CaseChunk&) {
                               seen.chunks.push_back(perSlot[static_cast<std::size_t>(slot)]);
                               seen.responses += responses[static_cast<std::size_t>(slot)];
                               s.session.appendOutput("merged " + itoMString(seen.chunks.back().front()) + "\n");
                               return 1;
                           }});
    EXPECT_EQ(runCasePass(s.session, work, pass), 1);
    EXPECT_EQ(s.session.timing.threads, threads);
    return seen;
}

TEST(CasePass, ChunksAndTheirOrderDoNotDependOnTheThreads) {
    ScriptSession s;
    prepare(s);
    int expectedCorrect = 0;
    for (int n = 0; n < 50; ++n) expectedCorrect += n % 7 < 6 ? n % 7 : 6;
    for (int threads : {1, 2, 4}) {
        SCOPED_TRACE(threads);
        const Seen seen = runPass(s, threads);
        ASSERT_EQ(seen.chunks.size(), 8u);
        int next = 0;
        for (const auto& chunk : seen.chunks) {
            ASSERT_EQ(chunk.size(), next < 49 ? std::min<std::size_t>(7, 50 - next) : 1);
            for (int n : chunk) EXPECT_EQ(n, next++);
        }
        EXPECT_EQ(next, 50);
        EXPECT_EQ(seen.responses, expectedCorrect);
        // Each chunk's report comes before its merge, all in chunk order.
        std::vector<std::string> warnings;
        for (int k = 0; k < 8; ++k) warnings.push_back("chunk from " + std::to_string(7 * k));
        EXPECT_EQ(s.shell.warnings, warnings);
        std::string merged;
        for (int k = 0; k < 8; ++k) merged += "merged " + std::to_string(7 * k) + "\n";
        EXPECT_EQ(s.shell.output, merged);
    }
}

TEST(CasePass, EndsOnAFailedStageAThrownErrorOrAStop) {
    ScriptSession s;
    prepare(s);
    EstimationWork work;
    work.itemNo.assign(kMaxCaseResponses + 1, 0);
    work.rsp.assign(kMaxCaseResponses + 1, 0);
    for (int threads : {1, 2}) {
        SCOPED_TRACE(threads);
        s.session.compute.threads = threads;
        s.session.compute.parallelWork = 0.0;
        std::vector<int> first(static_cast<std::size_t>(casePassSlots(s.session)));
        std::vector<int> merged;
        CasePass pass;
        pass.chunkCases = 5;
        pass.stages.push_back({true, [&](int slot, const CaseChunk& chunk) {
                                   first[static_cast<std::size_t>(slot)] = chunk.caseNumber(0);
                                   return 1;
                               }});
        pass.stages.push_back({false, [&](int slot, const CaseChunk&) {
                                   merged.push_back(first[static_cast<std::size_t>(slot)]);
                                   return merged.size() == 3 ? -1 : 1;
                               }});
        EXPECT_EQ(runCasePass(s.session, work, pass), -1);
        EXPECT_EQ(merged, (std::vector<int>{0, 5, 10}));

        pass.stages[1].run = [](int, const CaseChunk&) { return 1; };
        pass.stages[0].run = [](int, const CaseChunk& chunk) {
            if (chunk.caseNumber(0) == 20) throw std::runtime_error("no memory");
            return 1;
        };
        EXPECT_THROW(runCasePass(s.session, work, pass), std::runtime_error);

        // A stop at the interrupt check while the cases are read.
        s.shell.clear();
        s.shell.stopRequests = 1;
        s.shell.yesNoAnswer = true;
        pass.stages[0].run = [](int, const CaseChunk&) { return 1; };
        EXPECT_EQ(runCasePass(s.session, work, pass), -1);
        EXPECT_EQ(s.shell.questions.size(), 1u);
    }
}

}  // namespace
}  // namespace ordena::test
