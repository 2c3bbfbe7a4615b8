#include "bench/report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

namespace ordena::bench {

namespace {

std::string format(const char* f, double v) {
    char b[64];
    std::snprintf(b, sizeof b, f, v);
    return b;
}

std::string jsonString(const std::string& s) {
    std::string r = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            r += '\\';
            r += static_cast<char>(c);
        } else if (c < 0x20) {
            char b[8];
            std::snprintf(b, sizeof b, "\\u%04x", c);
            r += b;
        } else {
            r += static_cast<char>(c);
        }
    }
    return r + "\"";
}

// A number, or null when unknown (negative) or not finite.
std::string jsonNumber(double v, const char* f = "%.6g") {
    if (!std::isfinite(v) || v < 0.0) return "null";
    return format(f, v);
}

}  // namespace

double median(std::vector<double> values) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

Measurement summarise(const WorkloadSpec& spec, std::int64_t responses, const std::vector<RunResult>& runs) {
    Measurement m;
    m.spec = spec;
    m.responses = responses;
    m.ok = !runs.empty();
    for (const auto& r : runs) {
        bool good = r.started && !r.timedOut && r.exitStatus == 0;
        if (!good && m.ok) {
            m.ok = false;
            if (!r.started)
                m.problem = "not started: " + r.failure;
            else if (r.timedOut)
                m.problem = "killed after the time limit (" + format("%.0f", r.wallSeconds) + " s)";
            else {
                m.problem = "exit status " + std::to_string(r.exitStatus);
                std::string e = firstError(r.err);
                if (!e.empty()) m.problem += ": " + e;
            }
        }
        m.wallSeconds.push_back(r.wallSeconds);
        m.peakRssMB = std::max(m.peakRssMB, r.peakRssMB);
    }
    if (runs.empty()) {
        m.problem = "not run";
        return m;
    }
    m.medianWall = median(m.wallSeconds);

    // The engine's figures come from the run whose wall time is the median.
    std::vector<std::size_t> order(runs.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return runs[a].wallSeconds < runs[b].wallSeconds; });
    const RunResult& mid = runs[order[(order.size() - 1) / 2]];

    m.iterations = countIterations(mid.out);
    for (const auto& r : runs)
        if (countIterations(r.out) != m.iterations) m.iterationsAgree = false;
    m.timing = parseTiming(mid.err);

    auto figure = [&](const char* key) {
        auto it = m.timing.find(key);
        return it == m.timing.end() ? -1.0 : it->second;
    };
    double engineIterations = figure("iterations");
    double iterationSeconds = figure("iteration_seconds");
    if (engineIterations > 0 && iterationSeconds >= 0) {
        m.msPerIteration = 1000.0 * iterationSeconds / engineIterations;
        m.msFromEngine = true;
    } else if (m.iterations > 0) {
        m.msPerIteration = 1000.0 * mid.wallSeconds / m.iterations;
    }
    double products = figure("response_nodes");
    double estepSeconds = figure("estep_seconds");
    if (products > 0 && estepSeconds > 0) m.throughput = products / estepSeconds;
    return m;
}

bool wallTargetMet(const Measurement& m) {
    return m.ok && (m.spec.targetSeconds <= 0.0 || m.medianWall < m.spec.targetSeconds);
}

bool memoryTargetMet(const Measurement& m) {
    return m.ok && (m.spec.targetMemoryMB <= 0.0 || m.peakRssMB < m.spec.targetMemoryMB);
}

std::string table(const std::vector<Measurement>& ms) {
    std::string t;
    char line[512];
    std::snprintf(line, sizeof line, "%-7s %-57s %9s %4s %9s %5s %9s %11s  %s\n", "id", "workload", "wall s", "runs",
                  "peak MB", "iter", "ms/iter", "E-step rn/s", "target");
    t += line;
    t += std::string(130, '-') + "\n";
    bool wallFallback = false;
    for (const auto& m : ms) {
        std::string iter = m.iterations > 0 ? std::to_string(m.iterations) + (m.iterationsAgree ? "" : "?") : "-";
        std::string msIter = m.msPerIteration >= 0 ? format("%.2f", m.msPerIteration) + (m.msFromEngine ? "" : "*") : "-";
        if (m.msPerIteration >= 0 && !m.msFromEngine) wallFallback = true;
        std::string rate = m.throughput > 0 ? format("%.3g", m.throughput) : "-";
        std::string target;
        if (!m.ok) {
            target = "FAILED: " + m.problem;
        } else {
            if (m.spec.targetSeconds > 0)
                target += "< " + format("%g", m.spec.targetSeconds) + " s " + (wallTargetMet(m) ? "met" : "MISSED");
            if (m.spec.targetMemoryMB > 0)
                target += std::string(target.empty() ? "" : "; ") + "< " + format("%g", m.spec.targetMemoryMB / 1024.0) +
                          " GB " + (memoryTargetMet(m) ? "met" : "MISSED");
        }
        std::snprintf(line, sizeof line, "%-7s %-57s %9.3f %4zu %9.1f %5s %9s %11s  %s\n", m.spec.id.c_str(),
                      m.spec.title.c_str(), m.medianWall, m.wallSeconds.size(), m.peakRssMB, iter.c_str(),
                      msIter.c_str(), rate.c_str(), target.c_str());
        t += line;
    }
    t += std::string(130, '-') + "\n";

    std::string met, missed, unknown;
    for (const auto& m : ms) {
        std::string& list = m.throughput < 0 ? unknown : (m.throughput >= kThroughputTarget ? met : missed);
        list += (list.empty() ? "" : " ") + m.spec.id;
    }
    t += "E-step throughput target >= 1e9 response-node products/s: met by " + (met.empty() ? "none" : met) +
         "; missed by " + (missed.empty() ? "none" : missed);
    if (!unknown.empty()) t += "; not reported by " + unknown;
    t += "\n";
    if (wallFallback) t += "* ms/iter from the wall time: the engine reported no iteration time\n";
    for (const auto& m : ms)
        if (!m.iterationsAgree) t += "? " + m.spec.id + ": the runs gave different iteration counts\n";
    return t;
}

std::string systemFileLines(const std::vector<Measurement>& ms) {
    std::string t;
    for (const auto& m : ms) {
        auto figure = [&](const char* key) {
            auto it = m.timing.find(key);
            return it == m.timing.end() ? -1.0 : it->second;
        };
        const double put = figure("put_seconds"), get = figure("get_seconds");
        const double passes = figure("data_pass_seconds"), model = figure("model_file_seconds");
        if (!m.ok || m.spec.systemFileName.empty() || put < 0 || get < 0 || passes < 0 || model < 0) continue;
        t += m.spec.id + ": save " + format("%.2f", put) + " s, load " + format("%.2f", get) + " s; the data passes " +
             format("%.2f", passes) + " s, with the model file " + format("%.2f", passes + model) + " s (load " +
             (get < passes ? "faster" : "NOT faster") + " than the data passes)\n";
    }
    return t;
}

std::string json(const std::vector<Measurement>& ms, const std::map<std::string, std::string>& about) {
    std::string j = "{\n";
    for (const auto& [key, value] : about) j += "  " + jsonString(key) + ": " + jsonString(value) + ",\n";
    j += "  \"estep_throughput_target\": 1e9,\n  \"workloads\": [\n";
    for (std::size_t k = 0; k < ms.size(); ++k) {
        const Measurement& m = ms[k];
        auto figure = [&](const char* key) {
            auto it = m.timing.find(key);
            return it == m.timing.end() ? -1.0 : it->second;
        };
        std::string runs;
        for (double w : m.wallSeconds) runs += (runs.empty() ? "" : ", ") + format("%.4f", w);
        j += "    {\n";
        j += "      \"id\": " + jsonString(m.spec.id) + ",\n";
        j += "      \"title\": " + jsonString(m.spec.title) + ",\n";
        j += "      \"script\": " + jsonString(m.spec.scriptName) + ",\n";
        j += "      \"cases\": " + std::to_string(m.spec.cases) + ",\n";
        j += "      \"items\": " + std::to_string(m.spec.items) + ",\n";
        j += "      \"responses\": " + std::to_string(m.responses) + ",\n";
        j += std::string("      \"ok\": ") + (m.ok ? "true" : "false") + ",\n";
        j += "      \"problem\": " + jsonString(m.problem) + ",\n";
        j += "      \"wall_seconds_runs\": [" + runs + "],\n";
        j += "      \"wall_seconds_median\": " + jsonNumber(m.medianWall, "%.4f") + ",\n";
        j += "      \"peak_rss_mb\": " + jsonNumber(m.peakRssMB, "%.1f") + ",\n";
        j += "      \"iterations\": " + std::to_string(m.iterations) + ",\n";
        j += "      \"ms_per_iteration\": " + jsonNumber(m.msPerIteration, "%.3f") + ",\n";
        j += std::string("      \"ms_per_iteration_from\": ") + (m.msFromEngine ? "\"engine\"" : "\"wall\"") + ",\n";
        j += "      \"estep_passes\": " + jsonNumber(figure("estep_passes"), "%.0f") + ",\n";
        j += "      \"estep_seconds\": " + jsonNumber(figure("estep_seconds"), "%.6f") + ",\n";
        j += "      \"estep_nodes\": " + jsonNumber(figure("nodes"), "%.0f") + ",\n";
        j += "      \"response_node_products\": " + jsonNumber(figure("response_nodes"), "%.0f") + ",\n";
        j += "      \"estep_throughput\": " + jsonNumber(m.throughput, "%.4g") + ",\n";
        for (const char* key : {"data_pass_seconds", "model_file_seconds", "put_seconds", "get_seconds"})
            j += std::string("      \"") + key + "\": " + jsonNumber(figure(key), "%.4f") + ",\n";
        j += "      \"target_seconds\": " + jsonNumber(m.spec.targetSeconds > 0 ? m.spec.targetSeconds : -1) + ",\n";
        j += std::string("      \"target_seconds_met\": ") + (wallTargetMet(m) ? "true" : "false") + ",\n";
        j += "      \"target_memory_mb\": " + jsonNumber(m.spec.targetMemoryMB > 0 ? m.spec.targetMemoryMB : -1) + ",\n";
        j += std::string("      \"target_memory_met\": ") + (memoryTargetMet(m) ? "true" : "false") + "\n";
        j += k + 1 < ms.size() ? "    },\n" : "    }\n";
    }
    j += "  ]\n}\n";
    return j;
}

}  // namespace ordena::bench
