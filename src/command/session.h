// A running instance of the system: the workspace, the token table, the
// random generators and the shell of the front end. Every handler receives
// the session; nothing of it is global.
#pragma once

#include "base/shell.h"
#include "command/workspace.h"

namespace ordena {

class Session;

// A statement handler: receives the text after the command word and
// returns 1 for success or -1 after reporting a failure.
using Handler = int (*)(Session& session, const MString& arguments);

// The session is itself a Shell: it adds the system's rules (copies to the
// log file, warnings that obey the warnings setting) to the front end's
// shell. Handlers report through it; foundation code reaches it through
// currentShell() while the session runs.
class Session : public Shell {
public:
    explicit Session(Shell& frontEnd);
    ~Session() override;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    Workspace ws;

    // Always shown; copied to the log file.
    void errorReport(const MString& text) override;
    // Shown only while warnings are on; always copied to the log file.
    void warningReport(const MString& text) override;
    void informationBox(const MString& text) override;
    // Answers OK without asking while warnings are off.
    bool confirmQuestion(const MString& text) override;
    // Always asked; copied to the log file.
    bool yesNoQuestion(const MString& text) override;
    void appendOutput(const MString& text) override;
    void clearOutput() override;
    void statusText(const MString& text, int pane) override;
    bool takeStopRequest() override;

    // Called by long computations between steps: when the user asked to
    // stop, asks whether to interrupt. True when the analysis must stop.
    bool pollForStop();

    Shell& frontEnd() { return frontEnd_; }

private:
    void toLog(const MString& text);

    Shell& frontEnd_;
};

}  // namespace ordena
