#include "bench/runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace ordena::bench {

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Only async-signal-safe calls between fork and exec.
[[noreturn]] void childFails(const char* what) {
    const char* reason = std::strerror(errno);
    (void)!write(2, "ordena-bench: ", 14);
    (void)!write(2, what, std::strlen(what));
    (void)!write(2, ": ", 2);
    (void)!write(2, reason, std::strlen(reason));
    (void)!write(2, "\n", 1);
    _exit(127);
}

// Waits for the child with a time limit. A pidfd lets poll wake exactly when
// the child ends; without one (old kernels) the wait falls back to short
// sleeps.
bool waitForExit(pid_t pid, double timeoutSeconds) {
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeoutSeconds));
#ifdef SYS_pidfd_open
    int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (fd >= 0) {
        for (;;) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) break;
            pollfd p{fd, POLLIN, 0};
            int r = poll(&p, 1, static_cast<int>(left > 1000000 ? 1000000 : left));
            if (r > 0) {
                close(fd);
                return true;
            }
            if (r < 0 && errno != EINTR) break;
        }
        close(fd);
        siginfo_t info{};
        return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid;
    }
#endif
    while (Clock::now() < deadline) {
        siginfo_t info{};
        if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

}  // namespace

RunResult runProgram(const std::string& program, const std::vector<std::string>& arguments, const std::string& dir,
                     const std::string& stdoutPath, const std::string& stderrPath,
                     const std::vector<std::string>& environment, double timeoutSeconds) {
    RunResult result;

    // Everything the child needs is prepared before fork: after it only
    // async-signal-safe calls may run.
    std::vector<std::string> args;
    args.push_back(program);
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        std::string entry(*e);
        bool replaced = false;
        for (const auto& extra : environment) {
            auto eq = extra.find('=');
            if (eq != std::string::npos && entry.compare(0, eq + 1, extra, 0, eq + 1) == 0) replaced = true;
        }
        if (!replaced) env.push_back(entry);
    }
    env.insert(env.end(), environment.begin(), environment.end());
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    int outFd = open(stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    int errFd = open(stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    int inFd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (outFd < 0 || errFd < 0 || inFd < 0) {
        result.failure = "cannot open the output files in " + dir + ": " + std::strerror(errno);
        for (int fd : {outFd, errFd, inFd})
            if (fd >= 0) close(fd);
        return result;
    }

    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        if (dup2(inFd, 0) < 0 || dup2(outFd, 1) < 0 || dup2(errFd, 2) < 0) _exit(127);
        if (chdir(dir.c_str()) != 0) childFails("chdir");
        execve(program.c_str(), argv.data(), envp.data());
        childFails(program.c_str());
    }
    close(outFd);
    close(errFd);
    close(inFd);
    if (pid < 0) {
        result.failure = std::string("fork failed: ") + std::strerror(errno);
        return result;
    }

    if (!waitForExit(pid, timeoutSeconds)) {
        kill(pid, SIGKILL);
        result.timedOut = true;
    }
    int status = 0;
    rusage usage{};
    pid_t waited;
    do {
        waited = wait4(pid, &status, 0, &usage);
    } while (waited < 0 && errno == EINTR);
    auto end = std::chrono::steady_clock::now();

    result.wallSeconds = std::chrono::duration<double>(end - start).count();
    result.peakRssMB = static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
    if (WIFEXITED(status))
        result.exitStatus = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.exitStatus = -WTERMSIG(status);
    result.out = readFile(stdoutPath);
    result.err = readFile(stderrPath);
    // 127 with our own message means exec failed: the program never ran.
    result.started = !(result.exitStatus == 127 && result.err.rfind("ordena-bench: ", 0) == 0);
    if (!result.started) result.failure = result.err.substr(0, result.err.find('\n'));
    return result;
}

int countIterations(const std::string& output) {
    static const std::string marker = "Iteration: ";
    int highest = 0;
    std::size_t at = 0;
    while ((at = output.find(marker, at)) != std::string::npos) {
        bool lineStart = at == 0 || output[at - 1] == '\n' || output[at - 1] == '\r';
        at += marker.size();
        if (!lineStart) continue;
        char* end = nullptr;
        long t = std::strtol(output.c_str() + at, &end, 10);
        if (end != output.c_str() + at && t > highest && t < 1000000000) highest = static_cast<int>(t);
    }
    return highest;
}

std::map<std::string, double> parseTiming(const std::string& errorOutput) {
    std::map<std::string, double> figures;
    std::istringstream lines(errorOutput);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("timing ", 0) != 0) continue;
        std::istringstream words(line.substr(7));
        std::string word;
        while (words >> word) {
            auto eq = word.find('=');
            if (eq == std::string::npos || eq == 0) continue;
            char* end = nullptr;
            double v = std::strtod(word.c_str() + eq + 1, &end);
            if (end != word.c_str() + eq + 1 && *end == '\0') figures[word.substr(0, eq)] = v;
        }
        break;
    }
    return figures;
}

std::string firstError(const std::string& errorOutput) {
    std::istringstream lines(errorOutput);
    std::string line;
    while (std::getline(lines, line))
        if (line.rfind("Error: ", 0) == 0) return line;
    return "";
}

}  // namespace ordena::bench
