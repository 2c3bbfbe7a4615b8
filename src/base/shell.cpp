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

int Shell::openGraph(const MString& title) {
    CGraph g;
    g.options.title = title;
    graphs_.push_back(std::move(g));
    return static_cast<int>(graphs_.size()) - 1;
}

CGraph* Shell::keptGraph(int graph) {
    if (graph < 0 || static_cast<std::size_t>(graph) >= graphs_.size()) return nullptr;
    return &graphs_[static_cast<std::size_t>(graph)];
}

int Shell::createSeries(int graph, const MString& name) {
    CGraph* g = keptGraph(graph);
    return g ? g->addSeries(name) : -1;
}

void Shell::appendPoint(int graph, int series, double x, double y) {
    CGraph* g = keptGraph(graph);
    if (g && series >= 0 && static_cast<std::size_t>(series) < g->series.size())
        g->series[static_cast<std::size_t>(series)].append(x, y);
}

void Shell::setSeriesLabel(int graph, int series, const MString& label) {
    CGraph* g = keptGraph(graph);
    if (g && series >= 0 && static_cast<std::size_t>(series) < g->series.size())
        g->series[static_cast<std::size_t>(series)].label = label;
}

void Shell::setSeriesStyle(int graph, int series, const SeriesStyle& style) {
    CGraph* g = keptGraph(graph);
    if (g && series >= 0 && static_cast<std::size_t>(series) < g->series.size() && style.valid())
        g->series[static_cast<std::size_t>(series)].style = style;
}

void Shell::setGraphOptions(int graph, const GraphOptions& options) {
    CGraph* g = keptGraph(graph);
    if (!g) return;
    const MString title = g->options.title;
    g->options = options;
    g->options.title = title;
}

void reportError(const MString& text) { currentShell().errorReport(text); }

void fatalExit(const MString& message) {
    reportError(message);
    throw FatalExit{1};
}

}  // namespace ordena
