// ordena-bench: generates the benchmark workloads, runs the ordena
// executable on each end to end, and prints one table of the figures (also
// written as JSON). See bench/README.md.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/report.h"
#include "bench/runner.h"
#include "bench/workloads.h"

namespace fs = std::filesystem;
using namespace ordena::bench;

namespace {

const char* const kUsage =
    "Usage: ordena-bench [options]\n"
    "\n"
    "Generates the workloads W1-W7, W3-sys, W1-jml and SIM from fixed seeds, runs the\n"
    "ordena executable on each (median wall time of several runs), prints a table and\n"
    "writes it as JSON.\n"
    "\n"
    "Options:\n"
    "  --ordena PATH      the executable to measure (default: ordena beside this program)\n"
    "  --scratch DIR      where data, command and output files go (default: bench-scratch\n"
    "                     beside this program)\n"
    "  --json PATH        where the figures go (default: bench/results.json of the source tree)\n"
    "  --only IDS         comma-separated workload ids, e.g. W1,W3-ram\n"
    "  --runs N           runs per workload (default 3)\n"
    "  --repeat-limit S   run a workload only once when its first run took longer (default 60)\n"
    "  --timeout S        kill a run after this many seconds (default 1200)\n"
    "  --scale X          multiply the number of cases (default 1)\n"
    "  --generate-only    write the data and command files and stop\n"
    "  --keep             keep the scratch files\n"
    "  --list             list the workloads and stop\n"
    "  --help             show this text\n";

int badCommandLine(const std::string& message) {
    std::fprintf(stderr, "ordena-bench: %s\n%s", message.c_str(), kUsage);
    return 2;
}

bool number(const char* text, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0';
}

std::string programDirectory() {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : self.parent_path().string();
}

std::string cpuModel() {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("model name", 0) == 0) {
            auto colon = line.find(':');
            if (colon != std::string::npos) return line.substr(line.find_first_not_of(' ', colon + 1));
        }
    return "unknown";
}

std::string now() {
    std::time_t t = std::time(nullptr);
    char b[64];
    std::strftime(b, sizeof b, "%Y-%m-%dT%H:%M:%S%z", std::localtime(&t));
    return b;
}

std::vector<std::string> split(const std::string& text, char by) {
    std::vector<std::string> parts;
    std::stringstream s(text);
    std::string part;
    while (std::getline(s, part, by))
        if (!part.empty()) parts.push_back(part);
    return parts;
}

}  // namespace

int main(int argc, char** argv) {
    std::string ordena = programDirectory() + "/ordena";
    std::string scratch = programDirectory() + "/bench-scratch";
#ifdef ORDENA_SOURCE_DIR
    std::string jsonPath = std::string(ORDENA_SOURCE_DIR) + "/bench/results.json";
#else
    std::string jsonPath = "results.json";
#endif
    std::string only;
    double runs = 3, repeatLimit = 60, timeout = 1200, scale = 1;
    bool generateOnly = false, keep = false, list = false;

    for (int k = 1; k < argc; ++k) {
        std::string a = argv[k];
        auto value = [&](std::string& into) {
            if (k + 1 >= argc) return false;
            into = argv[++k];
            return true;
        };
        auto numeric = [&](double& into, double low) {
            return k + 1 < argc && number(argv[++k], into) && into >= low;
        };
        if (a == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--ordena") {
            if (!value(ordena)) return badCommandLine("--ordena needs a path");
        } else if (a == "--scratch") {
            if (!value(scratch)) return badCommandLine("--scratch needs a directory");
        } else if (a == "--json") {
            if (!value(jsonPath)) return badCommandLine("--json needs a path");
        } else if (a == "--only") {
            if (!value(only)) return badCommandLine("--only needs workload ids");
        } else if (a == "--runs") {
            if (!numeric(runs, 1) || runs != static_cast<int>(runs)) return badCommandLine("--runs needs a whole number of 1 or more");
        } else if (a == "--repeat-limit") {
            if (!numeric(repeatLimit, 0)) return badCommandLine("--repeat-limit needs a number of seconds");
        } else if (a == "--timeout") {
            if (!numeric(timeout, 0.001)) return badCommandLine("--timeout needs a positive number of seconds");
        } else if (a == "--scale") {
            if (!numeric(scale, 1e-9)) return badCommandLine("--scale needs a positive number");
        } else if (a == "--generate-only") {
            generateOnly = true;
        } else if (a == "--keep") {
            keep = true;
        } else if (a == "--list") {
            list = true;
        } else {
            return badCommandLine("unknown argument '" + a + "'");
        }
    }

    std::vector<WorkloadSpec> workloads = standardWorkloads(scale);
    if (!only.empty()) {
        std::vector<WorkloadSpec> chosen;
        for (const auto& id : split(only, ',')) {
            bool found = false;
            for (const auto& w : workloads)
                if (w.id == id) {
                    chosen.push_back(w);
                    found = true;
                }
            if (!found) return badCommandLine("no workload '" + id + "' (see --list)");
        }
        workloads = chosen;
    }
    if (list) {
        for (const auto& w : workloads)
            std::printf("%-7s %s (%d cases, script %s)\n", w.id.c_str(), w.title.c_str(), w.cases, w.scriptName.c_str());
        return 0;
    }
    if (!generateOnly && access(ordena.c_str(), X_OK) != 0)
        return badCommandLine("cannot run '" + ordena + "' (build it first, or give --ordena)");

    std::error_code ec;
    fs::create_directories(scratch, ec);
    if (ec) {
        std::fprintf(stderr, "ordena-bench: cannot create %s: %s\n", scratch.c_str(), ec.message().c_str());
        return 1;
    }
    scratch = fs::absolute(scratch).string();

    auto started = std::chrono::steady_clock::now();
    std::set<std::string> made;  // files to remove at the end
    std::map<std::string, std::int64_t> responses;
    try {
        for (const auto& w : workloads) {
            if (!responses.count(w.dataName)) {
                auto t0 = std::chrono::steady_clock::now();
                responses[w.dataName] = writeDataFile(w, scratch);
                made.insert(w.dataName);
                std::fprintf(stderr, "generated %s (%lld responses) in %.1f s\n", w.dataName.c_str(),
                             static_cast<long long>(responses[w.dataName]),
                             std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
            }
            writeScriptFile(w, scratch);
            made.insert(w.scriptName);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ordena-bench: %s\n", e.what());
        return 1;
    }
    if (generateOnly) {
        std::printf("Workloads written to %s\n", scratch.c_str());
        return 0;
    }

    std::vector<Measurement> results;
    bool allOk = true;
    for (const auto& w : workloads) {
        std::vector<RunResult> done;
        std::string out = scratch + "/" + w.id + ".out";
        std::string err = scratch + "/" + w.id + ".err";
        made.insert(w.id + ".out");
        made.insert(w.id + ".err");
        for (int r = 0; r < static_cast<int>(runs); ++r) {
            // Each run starts from the same files: no overwrite question.
            if (!w.plausibleName.empty()) {
                fs::remove(scratch + "/" + w.plausibleName, ec);
                made.insert(w.plausibleName);
            }
            for (const std::string& name : w.outputNames) {
                fs::remove(scratch + "/" + name, ec);
                made.insert(name);
            }
            std::vector<std::string> environment = w.environment;
            environment.push_back("ORDENA_TIMING=1");
            RunResult result = runProgram(ordena, {w.scriptName}, scratch, out, err, environment, timeout);
            std::fprintf(stderr, "%s run %d: %.3f s, exit %d%s\n", w.id.c_str(), r + 1, result.wallSeconds,
                         result.exitStatus, result.timedOut ? " (killed after the time limit)" : "");
            bool failed = !result.started || result.timedOut || result.exitStatus != 0;
            bool slow = result.wallSeconds > repeatLimit;
            done.push_back(std::move(result));
            if (failed || slow) break;
        }
        Measurement m = summarise(w, responses[w.dataName], done);
        allOk = allOk && m.ok;
        results.push_back(std::move(m));
    }
    double total = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    std::string text = table(results);
    std::printf("\nOrdena benchmark (%s, %u cores, %s)\n\n%s", cpuModel().c_str(), std::thread::hardware_concurrency(),
                now().c_str(), text.c_str());
    std::printf("%s", systemFileLines(results).c_str());
    std::printf("Total time of the benchmark: %.1f s\n", total);

    std::map<std::string, std::string> about{{"date", now()},
                                             {"cpu", cpuModel()},
                                             {"cores", std::to_string(std::thread::hardware_concurrency())},
                                             {"ordena", ordena},
                                             {"scale", std::to_string(scale)},
                                             {"total_seconds", std::to_string(total)}};
    std::ofstream js(jsonPath, std::ios::binary | std::ios::trunc);
    js << json(results, about);
    js.close();
    if (!js)
        std::fprintf(stderr, "ordena-bench: cannot write %s\n", jsonPath.c_str());
    else
        std::printf("Figures written to %s\n", jsonPath.c_str());

    if (!keep) {
        for (const auto& name : made) fs::remove(scratch + "/" + name, ec);
        fs::remove(scratch, ec);  // only when nothing else is left in it
    }
    return allOk ? 0 : 1;
}
