#include "app/console/console_shell.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <set>

#include "app/render/png_writer.h"
#include "command/parse.h"
#include "plot/plot_document.h"

namespace ordena {

namespace {

// The only state a signal handler may touch.
volatile std::sig_atomic_t interruptPending = 0;
volatile std::sig_atomic_t terminationPending = 0;  // the signal number

// A termination nobody took up yet and another signal: end at once.
void endNow(int signal) {
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

extern "C" void onInterrupt(int) {
    if (terminationPending) return endNow(SIGINT);
    if (interruptPending)
        terminationPending = SIGINT;
    else
        interruptPending = 1;
}

extern "C" void onTerminate(int signal) {
    if (terminationPending) return endNow(signal);
    terminationPending = signal;
}

// A write to a closed pipe then fails with EPIPE; unlike SIG_IGN, a handler
// is not inherited by the commands the system statement runs.
extern "C" void onBrokenPipe(int) {}

void install(int signal, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, nullptr);
}

// The errno of a failed write, 0 when it succeeded.
int writeOut(std::FILE* f, const std::string& s) {
    errno = 0;
    if (!s.empty() && std::fwrite(s.data(), 1, s.size(), f) != s.size()) return errno != 0 ? errno : EIO;
    return 0;
}

}  // namespace

void ConsoleShell::catchSignals() {
    install(SIGINT, onInterrupt);
    install(SIGTERM, onTerminate);
    install(SIGHUP, onTerminate);
    install(SIGPIPE, onBrokenPipe);
}

int ConsoleShell::terminationSignal() { return terminationPending; }

const char* ConsoleShell::signalName(int signal) {
    switch (signal) {
        case SIGINT: return "INT";
        case SIGTERM: return "TERM";
        case SIGHUP: return "HUP";
        default: return "?";
    }
}

bool ConsoleShell::takeStopRequest() {
    // Polled often during long computations: the progress line's clock.
    progress_.refresh();
    bool pending = interruptPending != 0;
    interruptPending = 0;
    return pending || terminationPending != 0 || outputError_ != 0;
}

bool ConsoleShell::terminationSignalled() { return terminationPending != 0 || outputError_ != 0; }

bool ConsoleShell::terminationRequested() {
    // A Ctrl-C that no computation asked about while its statement ran.
    if (interruptPending && !terminationPending) {
        interruptPending = 0;
        terminationPending = SIGINT;
    }
    return terminationPending != 0 || outputError_ != 0;
}

void ConsoleShell::line(const char* prefix, const std::string& text) {
    progress_.clear();
    // Output written so far comes first when both streams go to one terminal.
    std::fflush(out_);
    std::string out = prefix;
    out.reserve(out.size() + text.size() + 1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += ' ';
        } else {
            out += c;
        }
    }
    out += '\n';
    writeOut(err_, out);
    std::fflush(err_);
}

bool ConsoleShell::confirmQuestion(const MString& text) {
    bool ok = !answerNo_;
    line("Question: ", text.str() + (ok ? " [OK]" : " [Cancel]"));
    return ok;
}

bool ConsoleShell::yesNoQuestion(const MString& text) {
    bool yes = !answerNo_ || terminationPending != 0 || outputError_ != 0;
    line("Question: ", text.str() + (yes ? " [Yes]" : " [No]"));
    return yes;
}

void ConsoleShell::appendOutput(const MString& text) {
    const std::string& s = text.str();
    if (s.empty()) return;
    std::string out;
    out.reserve(s.size() + 1);
    std::size_t i = 0;
    if (heldCarriageReturn_) {
        heldCarriageReturn_ = false;
        if (s[0] != '\n') out += '\r';
    }
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (c == '\r') {
            if (i + 1 == s.size()) {
                heldCarriageReturn_ = true;
            } else if (s[i + 1] != '\n') {
                out += c;
            }
        } else {
            out += c;
        }
    }
    if (progress_.outputOnTerminal()) progress_.clear();
    int e = writeOut(out_, out);
    if (outputError_ == 0) outputError_ = e;
}

void ConsoleShell::appendEcho(const MString& text) {
    progress_.statementStarted(text.str());
    if (!quiet_) appendOutput(text);
}

void ConsoleShell::appendIterationReport(const MString& text) {
    if (!quiet_) appendOutput(text);
}

void ConsoleShell::statusText(const MString& text, int pane) {
    if (pane == 0) progress_.status(text.str());
}

MString ConsoleShell::outputFailure() {
    errno = 0;
    if (std::fflush(out_) != 0 && outputError_ == 0) outputError_ = errno != 0 ? errno : EIO;
    if (outputError_ == 0) return MString();
    return MString(std::strerror(outputError_));
}

bool ConsoleShell::finish() {
    progress_.clear();
    if (heldCarriageReturn_) std::fputc('\r', out_);
    heldCarriageReturn_ = false;
    return outputFailure().isEmpty();
}

}  // namespace ordena

namespace ordena {

int ConsoleShell::finishGraphs(Shell& reports) {
    std::vector<CGraph> graphs = std::move(graphs_);
    graphs_.clear();
    for (const CGraph& graph : graphs) {
        // Two graphs of one title in a run keep apart: "A", "A (2)"; a
        // picture of this run is never replaced by a later one.
        const MString base = graphFileName(graph.options.title);
        auto pathOf = [&](const MString& name) {
            return plotDirectory_.empty() ? name : MString(plotDirectory_) + "/" + name;
        };
        MString name = base;
        for (int k = 2; writtenGraphs_.count(pathOf(name).str()) > 0; ++k) name = base + " (" + itoMString(k) + ")";
        const MString path = pathOf(name);
        writtenGraphs_.insert(path.str());
        // A picture of an earlier run is replaced only when the user agrees,
        // as every other output file is.
        for (const char* extension : {".png", ".zgf"}) {
            const MString file = path + extension;
            if (fileExists(file) && !reports.confirmQuestion("File " + file + " already exists. Replace?")) {
                reports.errorReport("The plot was not written: " + file + " already exists");
                return -1;
            }
        }
        MString message;
        if (render::writeGraphPng(graph, path + ".png", message) != 1) {
            reports.errorReport(message + " (" + path + ".png)");
            return -1;
        }
        if (writePlotDocument(graph, path + ".zgf", message) != 1) {
            reports.errorReport(message + " (" + path + ".zgf)");
            return -1;
        }
        reports.informationBox("Plot file written: " + path + ".png");
        reports.informationBox("Plot file written: " + path + ".zgf");
    }
    return 1;
}

}  // namespace ordena
