// Running the ordena executable on one command file and measuring it: wall
// time, the child's peak resident memory, and the figures it reports.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace ordena::bench {

struct RunResult {
    bool started = false;       // fork and exec succeeded
    bool timedOut = false;      // killed after the time limit
    int exitStatus = -1;        // exit code, or -signal number
    double wallSeconds = 0.0;
    double peakRssMB = 0.0;     // ru_maxrss of the child
    std::string out;            // standard output
    std::string err;            // standard error
    std::string failure;        // why it could not be started
};

// Runs program with the arguments in directory dir, standard input from
// /dev/null, standard output and error into the two files (also read back
// into the result), and the extra environment entries ("NAME=value") added
// to the inherited ones. The child is killed after timeoutSeconds.
RunResult runProgram(const std::string& program, const std::vector<std::string>& arguments, const std::string& dir,
                     const std::string& stdoutPath, const std::string& stderrPath,
                     const std::vector<std::string>& environment, double timeoutSeconds);

// The highest iteration number in the output's "Iteration: <t>" lines, 0
// when there is none.
int countIterations(const std::string& output);

// The key=value pairs of the first standard-error line that begins with
// "timing "; empty when there is none.
std::map<std::string, double> parseTiming(const std::string& errorOutput);

// The first line of the text that begins with "Error: ", empty when none.
std::string firstError(const std::string& errorOutput);

}  // namespace ordena::bench
