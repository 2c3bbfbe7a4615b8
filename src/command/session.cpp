#include "command/session.h"

#include "command/set_reset.h"

namespace ordena {

Session::Session(Shell& frontEnd) : handlers(standardHandlers()), frontEnd_(frontEnd) {
    ShellScope scope(*this);
    resetWorkspace(*this, false);
}

Session::~Session() {
    // Nothing may escape a destructor; shutdown reports its own troubles.
    try {
        ShellScope scope(*this);
        shutdown();
    } catch (...) {
    }
}

void Session::shutdown() {
    ws.removeWorkFiles();
    ws.files.closeLogFile();
}

void Session::toLog(const MString& text) { logText(text + "\n"); }

void Session::logText(const MString& text) {
    if (ws.files.logFile.isOpen()) {
        ws.files.logFile.write(text);
        ws.files.logFile.flush();
    }
}

void Session::errorReport(const MString& text) {
    frontEnd_.errorReport(text);
    toLog(text);
}

void Session::warningReport(const MString& text) {
    if (ws.settings.warnings) frontEnd_.warningReport(text);
    toLog(text);
}

void Session::informationBox(const MString& text) { frontEnd_.informationBox(text); }

bool Session::confirmQuestion(const MString& text) {
    if (!ws.settings.warnings) return true;
    return frontEnd_.confirmQuestion(text);
}

bool Session::yesNoQuestion(const MString& text) {
    bool answer = frontEnd_.yesNoQuestion(text);
    toLog(text);
    return answer;
}

void Session::appendOutput(const MString& text) { frontEnd_.appendOutput(text); }

void Session::clearOutput() { frontEnd_.clearOutput(); }

void Session::statusText(const MString& text, int pane) { frontEnd_.statusText(text, pane); }

bool Session::takeStopRequest() { return frontEnd_.takeStopRequest(); }

void Session::setOutputLimit(int characters) { frontEnd_.setOutputLimit(characters); }

bool Session::pollForStop() {
    if (!frontEnd_.takeStopRequest()) return false;
    // The question is asked whatever the warnings setting.
    bool stop = yesNoQuestion(kInterruptQuestion);
    statusText(stop ? "Estimation Stopped" : "Estimation Continuing", 0);
    return stop;
}

LineEndScope::LineEndScope(Session& session, const TextFile* file) : session_(session), saved_(session.lineEnd) {
    if (file != nullptr && file->isOpen()) session.lineEnd = "\n";
}

LineEndScope::~LineEndScope() { session_.lineEnd = saved_; }

}  // namespace ordena
