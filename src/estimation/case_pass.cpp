#include "estimation/case_pass.h"

#include <algorithm>

#include "base/parallel.h"
#include "command/session.h"
#include "data/response_reader.h"
#include "estimation/engine.h"

namespace ordena {

void CaseChunk::clear() {
    caseNumbers.clear();
    start.assign(1, 0);
    items.clear();
    categories.clear();
}

void CaseChunk::add(int caseNumber, const std::int32_t* itemNo, const std::int32_t* rsp, int m) {
    caseNumbers.push_back(caseNumber);
    items.insert(items.end(), itemNo, itemNo + m);
    categories.insert(categories.end(), rsp, rsp + m);
    start.push_back(items.size());
}

void DeferredReports::replay(Shell& to) {
    for (const auto& [kind, text] : reports_) switch (kind) {
            case Kind::Error: to.errorReport(text); break;
            case Kind::Warning: to.warningReport(text); break;
            case Kind::Information: to.informationBox(text); break;
            case Kind::Output: to.appendOutput(text); break;
        }
    reports_.clear();
}

int casePassSlots(const Session& session) {
    // A few chunks per thread keep both busy when chunks differ in cost.
    return std::max(1, session.compute.threads) * 4;
}

int chunkCasesFor(std::int64_t tableSize, std::int64_t workPerCase) {
    // Clearing and adding a chunk's table costs two passes over it; with
    // thirty-two times that in work on the cases it stays a few percent.
    const std::int64_t cases = 32 * std::max<std::int64_t>(1, tableSize) / std::max<std::int64_t>(1, workPerCase) + 1;
    return static_cast<int>(std::clamp<std::int64_t>(cases, 64, 8192));
}

double meanResponses(const Session& session) {
    const DataPassState& passes = session.ws.data.passes;
    return passes.cases > 0 ? static_cast<double>(passes.responseRecords) / passes.cases : 1.0;
}

int runCasePass(Session& session, EstimationWork& work, const CasePass& pass) {
    const int slots = casePassSlots(session);
    const int threads = std::min(std::max(1, session.compute.threads), slots);
    std::vector<CaseChunk> chunks(static_cast<std::size_t>(slots));
    std::vector<DeferredReports> reports(static_cast<std::size_t>(slots));
    WorkerPool pool(threads);
    session.timing.threads = threads;
    const int chunkCases = std::max(1, pass.chunkCases);

    ResponseReader reader(session.ws.data.passes);
    if (reader.open(session) != 1) return -1;
    bool last = false;
    while (!last) {
        int filled = 0;
        for (; filled < slots && !last; ++filled) {
            CaseChunk& chunk = chunks[static_cast<std::size_t>(filled)];
            chunk.clear();
            while (chunk.count() < chunkCases && !last) {
                int caseNumber = -1;
                const int m = reader.next(caseNumber, work.itemNo.data(), work.rsp.data(), last, session);
                if (m < 0) return -1;
                if (caseNumber < 0) continue;
                if ((!pass.polls || pass.polls(caseNumber)) && session.pollForStop()) {
                    reader.close();
                    return -1;
                }
                chunk.add(caseNumber, work.itemNo.data(), work.rsp.data(), m);
            }
            if (chunk.count() == 0) break;
        }
        for (const CasePassStage& stage : pass.stages) {
            if (stage.parallel) {
                pool.run(filled, [&](int slot) {
                    ShellScope scope(reports[static_cast<std::size_t>(slot)]);
                    stage.run(slot, chunks[static_cast<std::size_t>(slot)]);
                });
                continue;
            }
            for (int slot = 0; slot < filled; ++slot) {
                reports[static_cast<std::size_t>(slot)].replay(session);
                if (stage.run(slot, chunks[static_cast<std::size_t>(slot)]) != 1) {
                    reader.close();
                    return -1;
                }
            }
        }
        for (int slot = 0; slot < filled; ++slot) reports[static_cast<std::size_t>(slot)].replay(session);
    }
    reader.close();
    return 1;
}

}  // namespace ordena
