#include "command/session.h"

namespace ordena {

Session::Session(Shell& frontEnd) : frontEnd_(frontEnd) {}

Session::~Session() = default;

void Session::toLog(const MString& text) {
    if (ws.files.logFile.isOpen()) {
        ws.files.logFile.write(text + "\n");
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

bool Session::pollForStop() {
    if (!frontEnd_.takeStopRequest()) return false;
    // The question is asked whatever the warnings setting.
    bool stop = yesNoQuestion("Do you want to interrupt the current analysis?");
    statusText(stop ? "Estimation Stopped" : "Estimation Continuing", 0);
    return stop;
}

}  // namespace ordena
