// The services a front end provides to the core: message boxes, questions,
// the output pane, the status line and the stop request. The core never
// prints or touches a window itself; it calls these.
#pragma once

#include "base/mstring.h"

namespace ordena {

class Shell {
public:
    virtual ~Shell() = default;

    // Box titled "Error"; always shown.
    virtual void errorReport(const MString& text) = 0;
    // Box titled "Warning". The caller decides whether warnings are on.
    virtual void warningReport(const MString& text) = 0;
    // Box titled "General"; always shown.
    virtual void informationBox(const MString& text) = 0;
    // OK/Cancel question; true for OK.
    virtual bool confirmQuestion(const MString& text) = 0;
    // Yes/No question; true for Yes.
    virtual bool yesNoQuestion(const MString& text) = 0;
    virtual void appendOutput(const MString& text) = 0;
    virtual void clearOutput() = 0;
    // Panes: 0 message, 1 log file, 2 warnings, 3 automatic updates.
    virtual void statusText(const MString& text, int pane) = 0;
    // Clears the stop request after looking at it; true when one was pending.
    virtual bool takeStopRequest() = 0;
    // True once the program must end (a batch run told to terminate): the
    // run stops before its next statement.
    virtual bool terminationRequested() { return false; }
    // The most characters the output pane keeps; front ends without a pane
    // ignore it.
    virtual void setOutputLimit(int /*characters*/) {}
    // Empty while everything appended so far reached its destination;
    // otherwise why it did not (standard output on a full device, say).
    // The statement that wrote it then fails.
    virtual MString outputFailure() { return MString(); }
};

// Where foundation code (text, matrices, special functions) sends its
// reports: the shell of the session that is running on this thread. A
// session installs itself with a ShellScope for the duration of a run, so
// two sessions in one process never see each other's messages.
Shell& currentShell();

class ShellScope {
public:
    explicit ShellScope(Shell& shell);
    ~ShellScope();
    ShellScope(const ShellScope&) = delete;
    ShellScope& operator=(const ShellScope&) = delete;

private:
    Shell* previous_;
};

void reportError(const MString& text);

// Thrown by the few conditions that end the whole program with exit code 1
// after their message. Only the front end catches it (after cleaning up).
struct FatalExit {
    int code = 1;
};

[[noreturn]] void fatalExit(const MString& message);

}  // namespace ordena
