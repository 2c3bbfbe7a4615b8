// The shell services of the batch front end: reports and questions on
// standard error, the output pane on standard output.
#pragma once

#include <cstdio>
#include <set>
#include <string>

#include "app/console/progress_line.h"
#include "base/shell.h"

namespace ordena {

class ConsoleShell final : public Shell {
public:
    // answerNo: questions take the answer Cancel or No instead of OK or Yes.
    explicit ConsoleShell(bool answerNo, std::FILE* out = stdout, std::FILE* err = stderr)
        : answerNo_(answerNo), out_(out), err_(err), progress_(err) {}

    // Quiet: the echo of the statements and the iteration reports stay off
    // standard output; reports, tables and messages are written as ever.
    void setQuiet(bool quiet) { quiet_ = quiet; }
    // The progress line on the error stream, a terminal; outputOnTerminal
    // when standard output goes to the terminal too.
    void showProgress(bool outputOnTerminal) { progress_.switchOn(outputOnTerminal, out_); }
    // Takes the progress line off the terminal (the run is over).
    void endProgress() { progress_.clear(); }
    ProgressLine& progressLine() { return progress_; }

    void errorReport(const MString& text) override {
        ++errorsReported_;
        line("Error: ", text.str());
    }
    void warningReport(const MString& text) override { line("Warning: ", text.str()); }
    void informationBox(const MString& text) override { line("General: ", text.str()); }
    bool confirmQuestion(const MString& text) override;
    bool yesNoQuestion(const MString& text) override;
    void appendOutput(const MString& text) override;
    void appendEcho(const MString& text) override;
    void appendIterationReport(const MString& text) override;
    // Standard output cannot be taken back: clearing leaves it as it is.
    void clearOutput() override {}
    // The message pane shows on the progress line; the other panes nowhere.
    void statusText(const MString& text, int pane) override;
    void progressIteration(int iteration) override { progress_.iteration(iteration); }
    void progressDeviance(double deviance) override { progress_.deviance(deviance); }
    void progressClose() override { progress_.iterationsEnded(); }
    // A Ctrl-C since the last call counts as a stop request; so does, at
    // every call, a pending termination (see terminationRequested).
    bool takeStopRequest() override;
    // After SIGTERM or SIGHUP, a second Ctrl-C before the first was taken
    // up, a Ctrl-C no computation took up by the end of its statement, or
    // output that could not be written: the run must end. Questions are
    // then answered Yes, so that the interrupt question stops at once.
    bool terminationRequested() override;
    bool terminationSignalled() override;

    // Flushes standard output and tells whether everything written so far
    // reached it.
    MString outputFailure() override;

    // The error reports of the run so far: a run that reached its end after
    // one has its own exit status.
    int errorsReported() const { return errorsReported_; }

    // Writes what is still held back and flushes standard output. False
    // when some output was lost.
    bool finish();

    // Writes every graph opened since the last call as "<title>.png" and
    // "<title>.zgf" into the plot directory and lists the files.
    int finishGraphs(Shell& reports) override;
    // Where finishGraphs writes; empty for the working directory.
    void setPlotDirectory(const std::string& directory) { plotDirectory_ = directory; }

    // Lets Ctrl-C ask to stop a long computation and SIGTERM and SIGHUP end
    // the run, so that the program ends after removing its work files and
    // closing its log file. A signal that repeats a termination nobody took
    // up yet ends the program at once. A closed pipe on standard output
    // makes writes fail instead of ending the program.
    static void catchSignals();
    // The signal that ended the run (SIGINT, SIGTERM, SIGHUP), 0 when none
    // did; the front end raises it again once it has cleaned up.
    static int terminationSignal();
    // The signal's name for messages: "INT", "TERM" or "HUP".
    static const char* signalName(int signal);

private:
    // One line on standard error: line breaks in the text become blanks.
    void line(const char* prefix, const std::string& text);

    bool answerNo_;
    std::FILE* out_;
    std::FILE* err_;
    int outputError_ = 0;  // errno of the first failed write to standard output
    bool heldCarriageReturn_ = false;  // a CR at the end of the last output, perhaps half of a CR LF
    bool quiet_ = false;
    int errorsReported_ = 0;
    ProgressLine progress_;
    std::string plotDirectory_;
    std::set<std::string> writtenGraphs_;  // the picture paths (without extension) of this run
};

}  // namespace ordena
