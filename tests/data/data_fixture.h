// A session with a capturing shell for the data statement tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command/session.h"
#include "support/capture_shell.h"

namespace ordena::test {

class DataTest : public ::testing::Test {
protected:
    ScopedCapture capture;  // helpers that report through currentShell() land here too
    CaptureShell& shell = capture.shell;
    Session session{capture.shell};
    Workspace& ws = session.ws;
    DataLayout& layout = session.ws.data.layout;

    // Runs one handler with fresh captures.
    int run(Handler handler, const std::string& arguments) {
        shell.clear();
        return handler(session, MString(arguments));
    }

    using Messages = std::vector<std::string>;
};

}  // namespace ordena::test
