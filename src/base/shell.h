// The services a front end provides to the core: message boxes, questions,
// the output pane, the status line and the stop request. The core never
// prints or touches a window itself; it calls these.
#pragma once

#include <vector>

#include "base/mstring.h"
#include "plot/graph.h"

namespace ordena {

// The largest changes of one iteration, as the progress window shows them.
struct ProgressChanges {
    bool hasDeviance = false;  // the deviance change exists from the second iteration on
    double deviance = 0.0;
    bool hasItem = true;
    double item = 0.0;
    double regression = 0.0;
    double covariance = 0.0;
    // Labels of the regression and covariance fields ("Mean", "Variance",
    // "Node weights", ...); an empty label leaves the field's label as it is.
    MString regressionLabel;
    MString covarianceLabel;
};

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
    // The echo of a statement as it starts ("=>", the statement, ";" and the
    // line end), and the report of one iteration of an estimation: output
    // like any other, unless the front end leaves them out (a quiet batch
    // run does, keeping the reports).
    virtual void appendEcho(const MString& text) { appendOutput(text); }
    virtual void appendIterationReport(const MString& text) { appendOutput(text); }
    virtual void clearOutput() = 0;
    // Panes: 0 message, 1 log file, 2 warnings, 3 automatic updates.
    virtual void statusText(const MString& text, int pane) = 0;
    // Clears the stop request after looking at it; true when one was pending.
    virtual bool takeStopRequest() = 0;
    // True once the program must end (a batch run told to terminate): the
    // run stops before its next statement.
    virtual bool terminationRequested() { return false; }
    // True while a termination is pending, asked inside long loops; unlike
    // terminationRequested it leaves a single Ctrl-C to the interrupt check.
    virtual bool terminationSignalled() { return false; }
    // The most characters the output pane keeps; front ends without a pane
    // ignore it.
    virtual void setOutputLimit(int /*characters*/) {}
    // Empty while everything appended so far reached its destination;
    // otherwise why it did not (standard output on a full device, say).
    // The statement that wrote it then fails.
    virtual MString outputFailure() { return MString(); }

    // The estimation's progress window. A front end shows it only while its
    // Display Progress option is on; front ends without one ignore these.
    // jointMaximumLikelihood relabels the fields for the cases and items.
    virtual void progressOpen(bool /*jointMaximumLikelihood*/) {}
    virtual void progressIteration(int /*iteration*/) {}
    // The deviance of the iteration that is running, once its E-step has
    // computed it.
    virtual void progressDeviance(double /*deviance*/) {}
    virtual void progressChanges(const ProgressChanges&) {}
    virtual void progressClose() {}

    // Graphs. The plot statement opens graph windows and fills them through
    // these calls; each front end decides what a window is (the workbench
    // shows one, the batch front end writes picture and plot-document
    // files). Graphs and series are named by the numbers the calls return.
    // The defaults keep the graphs in memory, in graphs(), which is all a
    // test needs.
    //
    // Opens a window holding an empty graph with the title: its number.
    virtual int openGraph(const MString& title);
    // A new empty series of the name in the graph: its number, or -1 when
    // the graph already holds a series of that name (or none by that number;
    // the plot statement then warns, and a workbench may tell the user
    // "Cannot create a new series with the name '%s', a series with this
    // name already exists.").
    virtual int createSeries(int graph, const MString& name);
    // Appends a point to the series (see CSeries::append: a full series or a
    // point that is not finite is passed over).
    virtual void appendPoint(int graph, int series, double x, double y);
    // The nine display attributes of the series.
    virtual void setSeriesStyle(int graph, int series, const SeriesStyle& style);
    // The legend text of a series in pictures (its name stays).
    virtual void setSeriesLabel(int graph, int series, const MString& label);
    // The graph's options: legend, heading, notes, axis titles and ranges;
    // the title stays the one the graph was opened with.
    virtual void setGraphOptions(int graph, const GraphOptions& options);
    // Called at the end of every plot statement that opened graphs, once
    // they are complete; messages go through reports (the session). 1, or
    // -1 after an error report when they could not be shown or written.
    virtual int finishGraphs(Shell& /*reports*/) { return 1; }

    // The graphs kept by the default operations, in the order opened.
    const std::vector<CGraph>& graphs() const { return graphs_; }

protected:
    // The graph of that number in graphs(), or nullptr.
    CGraph* keptGraph(int graph);
    std::vector<CGraph> graphs_;
};

// Keeps the progress window open for its lifetime: every way out of the
// iterations closes it.
class ProgressWindowScope {
public:
    ProgressWindowScope(Shell& shell, bool jointMaximumLikelihood) : shell_(&shell) {
        shell.progressOpen(jointMaximumLikelihood);
    }
    ~ProgressWindowScope() { close(); }
    ProgressWindowScope(const ProgressWindowScope&) = delete;
    ProgressWindowScope& operator=(const ProgressWindowScope&) = delete;
    void close() {
        if (shell_ != nullptr) shell_->progressClose();
        shell_ = nullptr;
    }

private:
    Shell* shell_;
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
