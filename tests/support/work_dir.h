// Runs a test inside a fresh temporary directory (the work files are made in
// the working directory), with a session over a capturing shell and helpers
// to state data, format and model.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "command/session.h"
#include "data/coding.h"
#include "data/format.h"
#include "model/model_statements.h"
#include "support/capture_shell.h"

namespace ordena::test {

class WorkDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        std::string pattern = (std::filesystem::temp_directory_path() / "ordena-test.XXXXXX").string();
        char* made = ::mkdtemp(pattern.data());
        ASSERT_NE(made, nullptr);
        dir_ = made;
        std::filesystem::current_path(dir_);
    }
    void TearDown() override {
        session.ws.data.removeWorkFiles();
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    void writeFile(const std::string& name, const std::string& bytes) {
        std::ofstream out(name, std::ios::binary);
        out << bytes;
    }
    std::string readFile(const std::string& name) {
        std::ifstream in(name, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    // Runs a handler; fails the test with the captured errors when it fails
    // and ok is expected.
    int run(Handler handler, const std::string& arguments) {
        shell.clear();
        return handler(session, MString(arguments));
    }
    void state(Handler handler, const std::string& arguments) {
        int rc = run(handler, arguments);
        ASSERT_EQ(rc, 1) << arguments << ": " << (shell.errors.empty() ? "" : shell.errors[0]);
    }
    // datafile + format in one go.
    void data(const std::string& contents, const std::string& format) {
        writeFile("data.txt", contents);
        state(datafileCommand, "data.txt");
        state(formatCommand, format);
    }
    std::vector<std::string> filesNamed(const std::string& stem) {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(dir_))
            if (e.path().filename().string().rfind(stem, 0) == 0) out.push_back(e.path().filename().string());
        return out;
    }

    ScopedCapture capture;
    CaptureShell& shell = capture.shell;
    Session session{capture.shell};
    Workspace& ws = session.ws;

private:
    std::filesystem::path previous_;
    std::filesystem::path dir_;
};

}  // namespace ordena::test
