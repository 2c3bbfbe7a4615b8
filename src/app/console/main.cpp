// ordena: runs a command file, or the script on standard input, as Run All
// does, with the output pane on standard output.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <new>
#include <string>

#include <unistd.h>

#include "app/console/console_shell.h"
#include "app/render/offscreen.h"
#include "command/reader.h"
#include "command/session.h"

namespace {

const char* const kUsage =
    "Usage: ordena [--no] [--quiet] [--plots DIR] [script.zrc]\n"
    "\n"
    "Runs the command file (the script on standard input when no file or \"-\" is\n"
    "given) after a reset, as Run All does. Reports go to standard output; errors,\n"
    "warnings, information and questions go to standard error, one line each.\n"
    "When standard error is a terminal, a line there shows how far the run has got\n"
    "(statement, iteration, deviance, time taken, what it does) and is cleared at\n"
    "the end; it is never written to a file or a pipe.\n"
    "\n"
    "Options:\n"
    "  --no       answer questions with Cancel or No (default: OK or Yes)\n"
    "  -q, --quiet\n"
    "             leave the echo of each statement and the report of each\n"
    "             iteration out of standard output, and show no progress line\n"
    "  --plots DIR\n"
    "             write the pictures (.png) and plot documents (.zgf) of plot\n"
    "             statements into DIR (default: the working directory)\n"
    "  --help     show this text and exit\n"
    "  --version  show the version and exit\n"
    "\n"
    "Exit status: 0 when the script ran to its end (or to exit or quit) without an\n"
    "error, 1 when a statement failed and ended the run, 2 for a bad command line or\n"
    "an unreadable script file, 3 when the script ran to its end but an error was\n"
    "reported on the way (a statement that reported an error and went on, or a\n"
    "failed statement that ended only its submitted file).\n"
    "\n"
    "See the manual page ordena(1) and the user guide in docs/ of the source tree.\n";

// The exit status of a run that reached its end after an error report.
constexpr int kEndedAfterError = 3;

int badCommandLine(const std::string& message) {
    std::fprintf(stderr, "ordena: %s\n%s", message.c_str(), kUsage);
    return 2;
}

// The whole script; false when it cannot be read or is larger than a
// script may be (tooLarge then set).
bool readAll(std::FILE* f, std::string& text, bool& tooLarge) {
    char buffer[65536];
    std::size_t n;
    tooLarge = false;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        if (text.size() + n > ordena::kMaxScriptBytes) {
            tooLarge = true;
            return false;
        }
        text.append(buffer, n);
    }
    return !std::ferror(f);
}

std::string tooLargeText() {
    return "is larger than the " + std::to_string(ordena::kMaxScriptBytes) + " bytes a script may hold";
}

}  // namespace

int main(int argc, char** argv) {
    bool answerNo = false;
    bool quiet = false;
    bool optionsEnded = false;
    const char* scriptName = nullptr;
    std::string plotDirectory;
    for (int k = 1; k < argc; ++k) {
        const char* a = argv[k];
        if (!optionsEnded && std::strcmp(a, "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (!optionsEnded && std::strcmp(a, "--version") == 0) {
            std::printf("ordena %s\n", ORDENA_VERSION);
            return 0;
        }
        if (!optionsEnded && std::strcmp(a, "--no") == 0) {
            answerNo = true;
        } else if (!optionsEnded && (std::strcmp(a, "--quiet") == 0 || std::strcmp(a, "-q") == 0)) {
            quiet = true;
        } else if (!optionsEnded && (std::strcmp(a, "--plots") == 0 || std::strncmp(a, "--plots=", 8) == 0)) {
            const char* dir = a[7] == '=' ? a + 8 : (k + 1 < argc ? argv[++k] : nullptr);
            std::error_code error;
            if (dir == nullptr || *dir == '\0') return badCommandLine("--plots needs a directory");
            if (!std::filesystem::is_directory(dir, error))
                return badCommandLine(std::string("the plot directory '") + dir +
                                      (std::filesystem::exists(dir, error) ? "' is not a directory"
                                                                           : "' does not exist"));
            // Fixed now: the script may change the working directory.
            plotDirectory = std::filesystem::absolute(dir, error).lexically_normal().string();
            if (plotDirectory.size() > 1 && plotDirectory.back() == '/') plotDirectory.pop_back();
        } else if (!optionsEnded && std::strcmp(a, "--") == 0) {
            optionsEnded = true;
        } else if (!optionsEnded && a[0] == '-' && a[1] != '\0') {
            return badCommandLine(std::string("unknown option '") + a + "'");
        } else if (scriptName != nullptr) {
            return badCommandLine("only one script file may be given");
        } else {
            scriptName = a;
        }
    }

    std::string script;
    bool tooLarge = false;
    if (scriptName == nullptr || std::strcmp(scriptName, "-") == 0) {
        if (!readAll(stdin, script, tooLarge))
            return badCommandLine(tooLarge ? "the script on standard input " + tooLargeText()
                                           : "cannot read the script from standard input");
    } else {
        std::FILE* f = std::fopen(scriptName, "rb");
        bool ok = f != nullptr && readAll(f, script, tooLarge);
        if (f != nullptr) std::fclose(f);
        if (!ok)
            return badCommandLine(tooLarge ? std::string("the script file '") + scriptName + "' " + tooLargeText()
                                           : std::string("cannot read the script file '") + scriptName + "'");
    }

    ordena::ConsoleShell::catchSignals();
    ordena::ConsoleShell shell(answerNo);
    shell.setPlotDirectory(plotDirectory);
    shell.setQuiet(quiet);
    if (!quiet && isatty(STDERR_FILENO)) shell.showProgress(isatty(STDOUT_FILENO) != 0);
    int status = 1;
    try {
        // The session's destructor removes the work files and closes the log
        // file, however the run ended.
        ordena::Session session(shell);
        try {
            int result = ordena::runAll(session, ordena::MString(std::move(script)));
            // A pipeline must be able to tell a run that reported an error
            // from a clean one, even when the run went on to its end.
            if (result == 1 || session.exitRequested) status = shell.errorsReported() > 0 ? kEndedAfterError : 0;
            else status = 1;
        } catch (const std::bad_alloc&) {
            session.errorReport("Not enough memory to run the script");
        } catch (const std::exception& e) {
            session.errorReport(ordena::MString("The script failed: ") + e.what());
        }
        // Said before the log file closes, so that the log tells how it ended.
        if (const int signal = ordena::ConsoleShell::terminationSignal())
            session.errorReport(ordena::MString("The run was ended by the signal ") +
                                ordena::ConsoleShell::signalName(signal));
        shell.endProgress();
        // The benchmark program reads the engine's figures from here.
        const char* timing = std::getenv("ORDENA_TIMING");
        if (timing && std::string(timing) == "1") std::fprintf(stderr, "%s\n", session.timing.report().c_str());
    } catch (const ordena::FatalExit& fatal) {
        status = fatal.code;
    }
    ordena::render::releaseGuiApplication();
    // Output lost after the last statement (the held-back end of it) still
    // makes the run a failure.
    if (!shell.finish() && status == 0) {
        shell.errorReport("The output could not be written: " + shell.outputFailure());
        status = 1;
    }
    // The work files are gone and the log file is closed: the program now
    // ends as the signal would have ended it.
    if (const int signal = ordena::ConsoleShell::terminationSignal()) {
        std::fflush(nullptr);
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
    return status;
}
