#include "base/shell.h"

#include <cstdio>

namespace ordena {

namespace {

// Used when no session is running (library use outside a run): errors go to
// standard error, everything else is dropped and questions go on.
class FallbackShell final : public Shell {
public:
    void errorReport(const MString& text) override { std::fprintf(stderr, "Error: %s\n", text.c_str()); }
    void warningReport(const MString&) override {}
    void informationBox(const MString&) override {}
    bool confirmQuestion(const MString&) override { return true; }
    bool yesNoQuestion(const MString&) override { return true; }
    void appendOutput(const MString&) override {}
    void clearOutput() override {}
    void statusText(const MString&, int) override {}
    bool takeStopRequest() override { return false; }
};

FallbackShell fallbackShell;
thread_local Shell* installedShell = nullptr;

}  // namespace

Shell& currentShell() { return installedShell ? *installedShell : fallbackShell; }

ShellScope::ShellScope(Shell& shell) : previous_(installedShell) { installedShell = &shell; }

ShellScope::~ShellScope() { installedShell = previous_; }

void reportError(const MString& text) { currentShell().errorReport(text); }

void fatalExit(const MString& message) {
    reportError(message);
    throw FatalExit{1};
}

}  // namespace ordena
