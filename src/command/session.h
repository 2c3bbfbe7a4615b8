// A running instance of the system: the workspace, the token table, the
// random generators and the shell of the front end. Every handler receives
// the session; nothing of it is global.
#pragma once

#include <array>

#include "base/compute_settings.h"
#include "base/random.h"
#include "base/shell.h"
#include "base/textfile.h"
#include "base/timing.h"
#include "command/command_table.h"
#include "command/tokens.h"
#include "command/workspace.h"

namespace ordena {

// Asked by the poll for stop when the user asked to stop.
inline constexpr const char* kInterruptQuestion = "Do you want to interrupt the current analysis?";

// The session is itself a Shell: it adds the system's rules (copies to the
// log file, warnings that obey the warnings setting) to the front end's
// shell. Handlers report through it; foundation code reaches it through
// currentShell() while the session runs.
class Session : public Shell {
public:
    // The session starts in the state a reset leaves, without clearing the
    // front end's output.
    explicit Session(Shell& frontEnd);
    // Removes the work files and closes the log file (see shutdown).
    ~Session() override;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    Workspace ws;
    TokenTable tokens;

    // The three generators of the whole program, reseeded by set and reset.
    RanUniform uniform;
    RanNormal normal;
    RanMVNormal mvnormal{1};

    // The handler of each command number. Normally the standard table; tests
    // put recording handlers in its place.
    std::array<Handler, kCommandCount> handlers;

    // The line end of report text: CR LF in the output pane, LF while a
    // report goes to a file (see LineEndScope).
    MString lineEnd = "\r\n";

    // Set by exit and quit: no further statement runs, and the front end
    // ends the program.
    bool exitRequested = false;

    // Figures of the estimations of this session, for the benchmark.
    Timing timing;
    // Threads of the passes over the cases, and whether the engine must take
    // its general computations; from the environment, tests set them.
    ComputeSettings compute = ComputeSettings::fromEnvironment();

    // Depth of nested submit statements; bounds recursion of files that
    // submit themselves.
    int submitDepth = 0;

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
    void appendEcho(const MString& text) override { frontEnd_.appendEcho(text); }
    void appendIterationReport(const MString& text) override { frontEnd_.appendIterationReport(text); }
    void clearOutput() override;
    void statusText(const MString& text, int pane) override;
    bool takeStopRequest() override;
    void setOutputLimit(int characters) override;
    MString outputFailure() override { return frontEnd_.outputFailure(); }
    bool terminationRequested() override { return frontEnd_.terminationRequested(); }
    bool terminationSignalled() override { return frontEnd_.terminationSignalled(); }
    void progressOpen(bool jointMaximumLikelihood) override { frontEnd_.progressOpen(jointMaximumLikelihood); }
    void progressIteration(int iteration) override { frontEnd_.progressIteration(iteration); }
    void progressDeviance(double deviance) override { frontEnd_.progressDeviance(deviance); }
    void progressChanges(const ProgressChanges& changes) override { frontEnd_.progressChanges(changes); }
    void progressClose() override { frontEnd_.progressClose(); }
    // Graphs go to the front end as they are.
    int openGraph(const MString& title) override { return frontEnd_.openGraph(title); }
    int createSeries(int graph, const MString& name) override { return frontEnd_.createSeries(graph, name); }
    void appendPoint(int graph, int series, double x, double y) override {
        frontEnd_.appendPoint(graph, series, x, y);
    }
    void setSeriesStyle(int graph, int series, const SeriesStyle& style) override {
        frontEnd_.setSeriesStyle(graph, series, style);
    }
    void setSeriesLabel(int graph, int series, const MString& label) override {
        frontEnd_.setSeriesLabel(graph, series, label);
    }
    void setGraphOptions(int graph, const GraphOptions& options) override {
        frontEnd_.setGraphOptions(graph, options);
    }
    int finishGraphs(Shell&) override { return frontEnd_.finishGraphs(*this); }

    // Called by long computations between steps: when the user asked to
    // stop, asks whether to interrupt. True when the analysis must stop.
    bool pollForStop();

    // Writes text as it stands to the log file, when one is open.
    void logText(const MString& text);

    // What the program's exit does to the workspace: removes the work files
    // and closes the log file. Safe to call more than once.
    void shutdown();

    Shell& frontEnd() { return frontEnd_; }

private:
    void toLog(const MString& text);

    Shell& frontEnd_;
};

// Sets the session's line end to LF while a report is written to an open
// file, and restores it afterwards.
class LineEndScope {
public:
    LineEndScope(Session& session, const TextFile* file);
    ~LineEndScope();
    LineEndScope(const LineEndScope&) = delete;
    LineEndScope& operator=(const LineEndScope&) = delete;

private:
    Session& session_;
    MString saved_;
};

}  // namespace ordena
