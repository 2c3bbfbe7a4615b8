// A shell for tests: records every report and output, answers questions
// with preset answers.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/shell.h"

namespace ordena::test {

class CaptureShell : public Shell {
public:
    std::vector<std::string> errors, warnings, infos, questions, status;
    std::string output;
    bool confirmAnswer = true;
    bool yesNoAnswer = true;
    int stopRequests = 0;  // number of upcoming polls that report a stop
    int outputLimit = 0;   // the last limit set; 0 when none

    void errorReport(const MString& t) override { errors.push_back(t.str()); }
    void warningReport(const MString& t) override { warnings.push_back(t.str()); }
    void informationBox(const MString& t) override { infos.push_back(t.str()); }
    bool confirmQuestion(const MString& t) override {
        questions.push_back(t.str());
        return confirmAnswer;
    }
    bool yesNoQuestion(const MString& t) override {
        questions.push_back(t.str());
        return yesNoAnswer;
    }
    void appendOutput(const MString& t) override { output += t.str(); }
    void clearOutput() override { output.clear(); }
    void statusText(const MString& t, int pane) override { status.push_back(std::to_string(pane) + ":" + t.str()); }
    void setOutputLimit(int n) override { outputLimit = n; }
    // The progress window's calls, one entry each.
    std::vector<std::string> progress;
    std::vector<ProgressChanges> progressChangesSeen;
    void progressOpen(bool jml) override { progress.push_back(jml ? "open jml" : "open"); }
    void progressIteration(int t) override { progress.push_back("iteration " + std::to_string(t)); }
    void progressChanges(const ProgressChanges& c) override {
        progress.push_back("changes");
        progressChangesSeen.push_back(c);
    }
    void progressClose() override { progress.push_back("close"); }
    // Called at every poll for stop: lets a test act while a statement runs.
    std::function<void()> onPoll;
    bool takeStopRequest() override {
        if (onPoll) onPoll();
        if (stopRequests > 0) {
            --stopRequests;
            return true;
        }
        return false;
    }
    void clear() {
        errors.clear();
        warnings.clear();
        infos.clear();
        questions.clear();
        status.clear();
        output.clear();
    }
};

// Installs a CaptureShell as the current shell for the lifetime of a test.
class ScopedCapture {
public:
    ScopedCapture() : scope_(shell) {}
    CaptureShell shell;

private:
    ShellScope scope_;
};

}  // namespace ordena::test
