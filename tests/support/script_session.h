// Runs scripts as the batch front end does, in a fresh temporary working
// directory, with a capturing shell; the workspace stays open for checks.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "command/reader.h"
#include "command/session.h"
#include "support/capture_shell.h"

namespace ordena::test {

class ScriptSession {
public:
    ScriptSession() : scope_(shell), session(shell) {
        previous_ = std::filesystem::current_path();
        std::string pattern = (std::filesystem::temp_directory_path() / "ordena-test-XXXXXX").string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (::mkdtemp(buffer.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        dir_ = buffer.data();
        std::filesystem::current_path(dir_);
    }
    ~ScriptSession() {
        session.shutdown();
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
        std::filesystem::remove_all(dir_, ignored);
    }
    ScriptSession(const ScriptSession&) = delete;
    ScriptSession& operator=(const ScriptSession&) = delete;

    // Copies a file of the reference directory into the working directory.
    void copyReference(const std::string& name) {
        std::filesystem::copy_file(std::filesystem::path(ORDENA_REFERENCE_DIR) / name, dir_ / name,
                                   std::filesystem::copy_options::overwrite_existing);
    }
    void writeFile(const std::string& name, const std::string& text) {
        std::ofstream out(dir_ / name, std::ios::binary);
        out << text;
    }
    std::string readFile(const std::string& name) const {
        std::ifstream in(dir_ / name, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    // Continues the session with more statements (no reset).
    int run(const std::string& script) { return runScript(session, MString(script)); }
    // As the batch front end: reset, then every statement.
    int runAllOf(const std::string& script) { return runAll(session, MString(script)); }

    const std::filesystem::path& dir() const { return dir_; }

    CaptureShell shell;

private:
    ShellScope scope_;
    std::filesystem::path previous_;
    std::filesystem::path dir_;

public:
    Session session;
};

}  // namespace ordena::test
