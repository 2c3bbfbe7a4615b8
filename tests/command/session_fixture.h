// A session over a capturing shell, with helpers to run text and to replace
// command handlers by recorders.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <utility>
#include <string>
#include <vector>

#include "command/reader.h"
#include "command/session.h"
#include "support/capture_shell.h"

namespace ordena::test {

struct Call {
    std::string word;
    std::string arguments;
    bool operator==(const Call&) const = default;
};

// Records the calls of the handlers put in place by recordCommand. Handlers
// are plain functions: they find their test through the session.
class SessionTest : public ::testing::Test {
protected:
    SessionTest() : session(shell) {
        shell.clear();
        live().push_back(this);
    }
    ~SessionTest() override { std::erase(live(), this); }

    // The handler of the word records its arguments and returns result.
    void recordCommand(const char* word, int result = 1) {
        for (int k = 0; k < kCommandCount; ++k) {
            if (std::string(kCommandWords[k]) == word) {
                session.handlers[k] = result == 1 ? recorders(std::make_integer_sequence<int, kCommandCount>())[k]
                                                  : &recordFail;
                return;
            }
        }
        ADD_FAILURE() << "no command " << word;
    }
    // Every command but those named records instead of acting.
    void recordAllCommandsBut(const std::vector<std::string>& keep) {
        for (int k = 0; k < kCommandCount; ++k) {
            bool kept = false;
            for (const auto& w : keep) kept = kept || w == kCommandWords[k];
            if (!kept) session.handlers[k] = recorders(std::make_integer_sequence<int, kCommandCount>())[k];
        }
    }

    int run(const std::string& script) { return runScript(session, MString(script)); }
    int exec(const std::string& statement) { return executeStatement(session, MString(statement)); }

    std::vector<std::string> outputLines() const {
        std::vector<std::string> lines;
        std::size_t pos = 0;
        while (pos < shell.output.size()) {
            std::size_t end = shell.output.find("\r\n", pos);
            if (end == std::string::npos) {
                lines.push_back(shell.output.substr(pos));
                break;
            }
            lines.push_back(shell.output.substr(pos, end - pos));
            pos = end + 2;
        }
        return lines;
    }

    CaptureShell shell;
    Session session;
    std::vector<Call> calls;

private:
    static std::vector<SessionTest*>& live() {
        static std::vector<SessionTest*> tests;
        return tests;
    }
    static SessionTest& of(Session& session) {
        for (SessionTest* t : live())
            if (&t->session == &session) return *t;
        std::abort();
    }
    template <int N>
    static int recordOk(Session& session, const MString& arguments) {
        of(session).calls.push_back({kCommandWords[N], arguments.str()});
        return 1;
    }
    static int recordFail(Session& session, const MString& arguments) {
        of(session).calls.push_back({"(failing)", arguments.str()});
        return -1;
    }
    template <int... N>
    static std::array<Handler, kCommandCount> recorders(std::integer_sequence<int, N...>) {
        return {&recordOk<N>...};
    }
};

// A scratch directory that is the working directory for the test's duration.
class ScratchDirectory {
public:
    ScratchDirectory() : previous_(std::filesystem::current_path()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "ordena-test.XXXXXX").string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        path_ = ::mkdtemp(buffer.data());
        std::filesystem::current_path(path_);
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

void writeFile(const std::string& name, const std::string& content);
std::string readFile(const std::string& name);

}  // namespace ordena::test
