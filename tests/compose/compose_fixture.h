// A session whose workspace the dialog functions read, set up by running
// statements as a user would.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "command/reader.h"
#include "command/session.h"
#include "support/capture_shell.h"

namespace ordena::test {

class ComposeTest : public ::testing::Test {
protected:
    ComposeTest() : session(shell) { shell.clear(); }

    // Runs one statement and expects it to succeed without an error report.
    void accept(const MString& statement) {
        const std::size_t errors = shell.errors.size();
        EXPECT_EQ(executeStatement(session, statement), 1) << statement;
        EXPECT_EQ(shell.errors.size(), errors)
            << statement << ": " << (shell.errors.empty() ? "" : shell.errors.back());
    }

    Workspace& ws() { return session.ws; }
    const DataLayout& layout() { return session.ws.data.layout; }

    CaptureShell shell;
    Session session;
};

}  // namespace ordena::test
