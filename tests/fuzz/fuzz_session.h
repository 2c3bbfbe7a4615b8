// What every fuzz target shares: a private scratch directory that each input
// starts in (emptied first), a shell that answers every question and keeps a
// bounded copy of the output, and a session whose statements cannot leave
// the scratch directory, run programs, read devices or run without end.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <utility>

#include "analysis/generate.h"
#include "base/shell.h"
#include "command/command_table.h"
#include "command/commands.h"
#include "command/reader.h"
#include "command/session.h"

namespace ordena::fuzz {

// Made once per process under TMPDIR and removed at exit (the name is never
// freed, so the exit handler can still use it).
inline const std::string& scratchDirectory() {
    static const std::string* dir = [] {
        auto* made = new std::string((std::filesystem::temp_directory_path() / "ordena-fuzz.XXXXXX").string());
        if (::mkdtemp(made->data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::current_path(std::filesystem::temp_directory_path(), ignored);
            std::filesystem::remove_all(scratchDirectory(), ignored);
        });
        return made;
    }();
    return *dir;
}

// The directory the fuzzer was started in: its corpus paths may be relative.
inline const std::string& startDirectory() {
    static const std::string* dir = new std::string(std::filesystem::current_path().string());
    return *dir;
}

// For the duration of one input: enters the scratch directory, emptied of
// whatever the last input left, and returns to the start directory after.
class ScratchRun {
public:
    ScratchRun() {
        startDirectory();
        const std::string& dir = scratchDirectory();
        if (::chdir(dir.c_str()) != 0) std::abort();
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(dir, ignored))
            std::filesystem::remove_all(entry.path(), ignored);
    }
    ~ScratchRun() {
        if (::chdir(startDirectory().c_str()) != 0) std::abort();
    }
    ScratchRun(const ScratchRun&) = delete;
    ScratchRun& operator=(const ScratchRun&) = delete;
};

inline void writeFile(const std::string& name, std::string_view bytes) {
    std::ofstream out(name, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class FuzzShell;
inline const FuzzShell* activeShell = nullptr;

class FuzzShell : public Shell {
public:
    static constexpr std::size_t kOutputLimit = 1 << 20;
    int errors = 0;
    bool answer = true;
    std::string output;

    FuzzShell() { activeShell = this; }
    // ORDENA_FUZZ_VERBOSE=1 shows what a run reported, for looking into a
    // saved input.
    ~FuzzShell() override {
        if (std::getenv("ORDENA_FUZZ_VERBOSE") != nullptr) std::fwrite(output.data(), 1, output.size(), stderr);
        if (activeShell == this) activeShell = nullptr;
    }
    FuzzShell(const FuzzShell&) = delete;
    FuzzShell& operator=(const FuzzShell&) = delete;

    void errorReport(const MString& t) override {
        ++errors;
        keep("Error: " + t + "\n");
    }
    void warningReport(const MString& t) override { keep(t); }
    void informationBox(const MString& t) override { keep(t); }
    bool confirmQuestion(const MString& t) override { keep(t); return answer; }
    bool yesNoQuestion(const MString& t) override { keep(t); return answer; }
    void appendOutput(const MString& t) override { keep(t); }
    void clearOutput() override { output.clear(); }
    void statusText(const MString&, int) override {}
    bool takeStopRequest() override { return false; }

private:
    void keep(const MString& t) {
        if (output.size() < kOutputLimit) output.append(t.str(), 0, kOutputLimit - output.size());
    }
};

// A check of a target failed: says which one, with the end of what the run
// reported, before stopping as a crash, so that a log shows why even when
// the saved input is out of reach (run-fuzz repeats these lines last).
[[noreturn]] inline void broken(const char* file = __builtin_FILE(), int line = __builtin_LINE()) {
    std::fprintf(stderr, "fuzz check failed: %s:%d\n", file, line);
    if (activeShell != nullptr) {
        const std::string& out = activeShell->output;
        std::size_t from = out.size() > 3000 ? out.size() - 3000 : 0;
        std::size_t end = from;
        while (from < out.size()) {
            end = out.find('\n', from);
            if (end == std::string::npos) end = out.size();
            std::fprintf(stderr, "fuzz output: %.*s\n", static_cast<int>(end - from), out.data() + from);
            from = end + 1;
        }
    }
    std::fflush(stderr);
    __builtin_trap();
}

// Statements one input may run, submitted files included: a file that
// submits itself twice would otherwise run for 2^50 statements.
inline constexpr int kStatementLimit = 2000;
inline int statementsRun = 0;

template <int N>
int counted(Session& session, const MString& arguments) {
    if (++statementsRun > kStatementLimit) {
        session.errorReport("Fuzz session: statement limit reached");
        return -1;
    }
    return standardHandlers()[N](session, arguments);
}

inline int refuseSystem(Session& session, const MString&) {
    session.errorReport("Fuzz session: system is refused");
    return -1;
}

// An estimation may run for minutes on a small input; it needs a target of
// its own that caps iterations and nodes. The script target stops at the
// model build, which it runs itself.
inline int refuseEstimate(Session& session, const MString&) {
    session.errorReport("Fuzz session: estimate is refused");
    return -1;
}

// Statements that name files use only files of the scratch directory: a
// path could name a device that never ends (/dev/zero) or blocks, or a
// file outside that a report would overwrite.
template <int N>
int localFilesOnly(Session& session, const MString& arguments) {
    if (arguments.str().find('/') != std::string::npos) {
        session.errorReport("Fuzz session: paths are refused");
        return -1;
    }
    return counted<N>(session, arguments);
}

// generate draws a response for every case and item: beyond this many one
// input would outrun the time limit, while smaller sizes run the same code.
inline int boundedGenerate(Session& session, const MString& arguments) {
    GenerationSettings settings;
    std::vector<MString> files;
    if (arguments.str().find('/') == std::string::npos &&
        parseGenerateStatement(session, arguments, settings, files) == 1 &&
        static_cast<long long>(settings.persons) * (settings.itemCount() + settings.dimensions()) > 100000) {
        session.errorReport("Fuzz session: generate is limited to 100000 draws");
        return -1;
    }
    return localFilesOnly<19>(session, arguments);
}

// set directory= may move anywhere; the next statement starts back in the
// scratch directory, so work files are never made elsewhere.
inline int setInScratch(Session& session, const MString& arguments) {
    int rc = localFilesOnly<16>(session, arguments);
    if (::chdir(scratchDirectory().c_str()) != 0) std::abort();
    return rc;
}

template <std::size_t... I>
void installCounted(Session& session, std::index_sequence<I...>) {
    ((session.handlers[I] = counted<static_cast<int>(I)>), ...);
}

inline int commandNumber(const char* word) {
    for (int k = 0; k < kCommandCount; ++k)
        if (std::string_view(kCommandWords[k]) == word) return k;
    std::abort();
}

// Runs statements: they succeed, or fail with a report. False when the run
// ended the program (after its report): nothing may follow.
inline bool runReported(Session& session, FuzzShell& shell, const std::string& statements, int* rc = nullptr) {
    const int errorsBefore = shell.errors;
    int result = -1;
    try {
        result = runScript(session, MString(statements));
    } catch (const FatalExit&) {
        if (shell.errors == errorsBefore) broken();  // the end of the program is always explained
        return false;
    }
    if (result != 1 && result != -1) broken();
    if (result == -1 && shell.errors == errorsBefore) broken();  // a failure always says why
    if (rc != nullptr) *rc = result;
    return true;
}

// Puts the guards in place of the standard handlers.
inline void guard(Session& session) {
    statementsRun = 0;
    installCounted(session, std::make_index_sequence<kCommandCount>{});
    static_assert(kCommandCount == 37);
    static const std::pair<const char*, int> places[] = {
        {"datafile", 0}, {"import", 13},     {"export", 14}, {"submit", 15},      {"set", 16},
        {"show", 18},    {"generate", 19},   {"itanal", 21}, {"labels", 22},      {"simulate", 24},
        {"plot", 25},    {"fit", 26},        {"equivalence", 30}, {"put", 31},    {"get", 32},
        {"descriptives", 34}};
    for (const auto& [word, place] : places)
        if (commandNumber(word) != place) std::abort();
    session.handlers[static_cast<std::size_t>(commandNumber("system"))] = refuseSystem;
    session.handlers[static_cast<std::size_t>(commandNumber("estimates"))] = refuseEstimate;
    // The statements that read or write a named file (>> and << included).
    session.handlers[0] = localFilesOnly<0>;    // datafile
    session.handlers[13] = localFilesOnly<13>;  // import
    session.handlers[14] = localFilesOnly<14>;  // export
    session.handlers[15] = localFilesOnly<15>;  // submit
    session.handlers[18] = localFilesOnly<18>;  // show
    session.handlers[19] = boundedGenerate;     // generate
    session.handlers[21] = localFilesOnly<21>;  // itanal
    session.handlers[22] = localFilesOnly<22>;  // labels
    session.handlers[24] = localFilesOnly<24>;  // simulate
    session.handlers[25] = localFilesOnly<25>;  // plot
    session.handlers[26] = localFilesOnly<26>;  // fit
    session.handlers[30] = localFilesOnly<30>;  // equivalence
    session.handlers[31] = localFilesOnly<31>;  // put
    session.handlers[32] = localFilesOnly<32>;  // get
    session.handlers[34] = localFilesOnly<34>;  // descriptives
    session.handlers[16] = setInScratch;
}

}  // namespace ordena::fuzz
