// The passes over the cases: forEachCase on this thread in model-file
// order, runCasePass on several threads, and the progress text of a pass.
//
// A pass over the cases on several threads. The main thread reads the cases
// in model-file order into chunks of a fixed number of cases (the split
// depends on the data only), runs the interrupt check while it reads, and
// hands a batch of chunks to the stages of the pass: a parallel stage works
// on the chunks in any order on any thread, an in-order stage on the main
// thread chunk after chunk. Sums kept per chunk and added in an in-order
// stage give the same numbers for every thread count.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "base/mstring.h"
#include "base/shell.h"
#include "estimation/estimation_work.h"

namespace ordena {

class Session;
struct EstimationWork;

// The cases of one chunk with their responses (items and categories, as
// the response reader hands them over).
struct CaseChunk {
    std::vector<std::int32_t> caseNumbers;
    std::vector<std::size_t> start{0};  // one more than cases: where each case's responses begin
    std::vector<std::int32_t> items, categories;

    int count() const { return static_cast<int>(caseNumbers.size()); }
    int caseNumber(int c) const { return caseNumbers[static_cast<std::size_t>(c)]; }
    int responses(int c) const {
        return static_cast<int>(start[static_cast<std::size_t>(c) + 1] - start[static_cast<std::size_t>(c)]);
    }
    const std::int32_t* itemsOf(int c) const { return items.data() + start[static_cast<std::size_t>(c)]; }
    const std::int32_t* categoriesOf(int c) const { return categories.data() + start[static_cast<std::size_t>(c)]; }
    void clear();
    void add(int caseNumber, const std::int32_t* itemNo, const std::int32_t* rsp, int m);
};

// The reports of code that runs on a worker, kept in order and shown on the
// main thread when the chunk's turn comes. Questions answer OK and Yes.
class DeferredReports final : public Shell {
public:
    void errorReport(const MString& text) override { add(Kind::Error, text); }
    void warningReport(const MString& text) override { add(Kind::Warning, text); }
    void informationBox(const MString& text) override { add(Kind::Information, text); }
    bool confirmQuestion(const MString&) override { return true; }
    bool yesNoQuestion(const MString&) override { return true; }
    void appendOutput(const MString& text) override { add(Kind::Output, text); }
    void clearOutput() override {}
    void statusText(const MString&, int) override {}
    bool takeStopRequest() override { return false; }

    // Passes the reports on in the order they came, and forgets them.
    void replay(Shell& to);
    bool empty() const { return reports_.empty(); }

private:
    enum class Kind { Error, Warning, Information, Output };
    void add(Kind kind, const MString& text) { reports_.push_back({kind, text}); }
    std::vector<std::pair<Kind, MString>> reports_;
};

struct CasePassStage {
    bool parallel = false;
    // Works on the chunk in the given slot (0 up to casePassSlots). A
    // parallel stage reports through currentShell() only: its reports are
    // shown, in chunk order, before the chunk's next in-order stage. It
    // returns 1; an in-order stage may return -1 to end the pass after its
    // own report.
    std::function<int(int slot, const CaseChunk& chunk)> run;
};

struct CasePass {
    int chunkCases = 256;
    // Rough count of the operations one case takes: a pass too small to
    // repay waking the other threads runs on this one (the numbers are the
    // same either way).
    double workPerCase = 0.0;
    // The cases that run the interrupt check (all when empty).
    std::function<bool(int caseNumber)> polls;
    std::vector<CasePassStage> stages;
};

// Slots of chunk state a pass of this session needs.
int casePassSlots(const Session& session);
// Cases per chunk for a pass whose per-chunk sums hold about tableSize
// numbers and whose work on one case is about workPerCase: large enough
// that adding the chunks, and handing them to a thread, costs little beside
// the work on the cases. Depends on the data and the model only, never on
// the thread count.
int chunkCasesFor(std::int64_t tableSize, std::int64_t workPerCase);
// Responses per case on average, from the data passes.
double meanResponses(const Session& session);

// Every case of the model file through the stages. 1, or -1 after the
// reader's report, a stop at the interrupt check or a stage's -1.
int runCasePass(Session& session, EstimationWork& work, const CasePass& pass);

// Hands every case of the model file, in order, to visit(caseNumber,
// responses) with its items and categories in work.itemNo and work.rsp.
// visit returns 1 to go on or -1 to end the pass. 1 when every case was
// visited; -1 after the reader's report or visit's -1.
int forEachCase(Session& session, EstimationWork& work, const std::function<int(int, int)>& visit);
// "<title><p>%" for k of N cases done, as the status line shows it.
MString progressText(const char* title, long long k, long long N);

}  // namespace ordena
