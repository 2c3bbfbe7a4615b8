// The benchmark program without timings: the generated workloads, the runner
// that starts and measures a child, the parsing of its figures, and the whole
// program run against a stand-in for ordena.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/timing.h"
#include "bench/report.h"
#include "bench/runner.h"
#include "bench/workloads.h"

namespace fs = std::filesystem;
using namespace ordena::bench;

namespace {

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "ordena-bench-test-XXXXXX").string();
        char* made = mkdtemp(pattern.data());
        if (made != nullptr) path_ = made;
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) fs::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream s(text);
    std::string line;
    while (std::getline(s, line)) out.push_back(line);
    return out;
}

WorkloadSpec find(const std::vector<WorkloadSpec>& all, const std::string& id) {
    for (const auto& w : all)
        if (w.id == id) return w;
    ADD_FAILURE() << "no workload " << id;
    return {};
}

// The last column of "responses A-B" in the command file.
int lastResponseColumn(const std::string& script) {
    auto at = script.find("responses ");
    if (at == std::string::npos) return -1;
    auto dash = script.find('-', at);
    return std::atoi(script.c_str() + dash + 1);
}

void writeExecutable(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
    fs::permissions(path, fs::perms::owner_all);
}

}  // namespace

TEST(BenchWorkloads, AreTheIssuesSizesAndShareDataWhereTheyShould) {
    auto all = standardWorkloads();
    std::vector<std::string> ids;
    for (const auto& w : all) ids.push_back(w.id);
    EXPECT_EQ(ids, (std::vector<std::string>{"W1", "W2", "W3-disk", "W3-ram", "W3-sys", "W4", "W5", "W6", "W1-jml",
                                             "W7", "W7-small", "W7-small-general", "SIM"}));

    auto w1 = find(all, "W1"), w2 = find(all, "W2"), w3d = find(all, "W3-disk"), w3r = find(all, "W3-ram"),
         w4 = find(all, "W4"), w5 = find(all, "W5"), w6 = find(all, "W6");
    EXPECT_EQ(w1.cases * w1.items, 10000 * 40);
    EXPECT_EQ(w2.cases * w2.items, 10000 * 20);
    EXPECT_EQ(w2.categories, 4);
    EXPECT_EQ(responseCount(w3d), 500000LL * 50);
    EXPECT_EQ(w4.cases * w4.items, 5000 * 30);
    EXPECT_EQ(responseCount(w5), 2000LL * 4 * 10);
    // Both storages and W6 read the same data files as their partners.
    EXPECT_EQ(w3d.dataName, w3r.dataName);
    EXPECT_EQ(w3d.seed, w3r.seed);
    EXPECT_EQ(w6.dataName, w1.dataName);
    EXPECT_EQ(w6.seed, w1.seed);
    EXPECT_NE(scriptText(w3d), scriptText(w3r));
    EXPECT_NE(scriptText(w3d).find("estimate ! storage=disk;"), std::string::npos);
    EXPECT_NE(scriptText(w3r).find("estimate ! storage=ram;"), std::string::npos);
    EXPECT_NE(scriptText(w6).find("abilities=yes, plausible=w6.pv"), std::string::npos);
    EXPECT_NE(scriptText(w1).find("model item;\nestimate;\nshow;"), std::string::npos);
    // The system file workload saves W3's data and loads it back in one run.
    auto w3s = find(all, "W3-sys");
    EXPECT_EQ(w3s.dataName, w3d.dataName);
    EXPECT_EQ(w3s.seed, w3d.seed);
    EXPECT_NE(scriptText(w3s).find("estimate ! iter=2, fit=no;\nput >> w3.zrs;\nreset;\nget << w3.zrs;\nshow;"),
              std::string::npos);
    auto jml = find(all, "W1-jml");
    EXPECT_EQ(jml.dataName, w1.dataName);
    EXPECT_EQ(jml.seed, w1.seed);
    EXPECT_NE(scriptText(jml).find("model item;\nestimate ! method=jml;\nshow;"), std::string::npos);
    // The simulation study: 20 replications of 500 cases and 15 items.
    auto sim = find(all, "SIM");
    EXPECT_EQ(responseCount(sim), 20LL * 500 * 15);
    EXPECT_EQ(scriptText(sim), "set seed=7707;\nsimulate ! nitems=15, npersons=500, itemdist=sim-items.txt, "
                               "replications=20, filename=sim_;\n");

    // The booklet design: sixty responses per case out of 180 items; the
    // small version once more on the general path and one thread.
    auto w7 = find(all, "W7"), w7s = find(all, "W7-small"), general = find(all, "W7-small-general");
    EXPECT_EQ(w7.cases, 200000);
    EXPECT_EQ(w7.items, 180);
    EXPECT_EQ(responseCount(w7), 200000LL * 60);
    EXPECT_EQ(w7s.cases, 20000);
    EXPECT_DOUBLE_EQ(w7.targetSeconds, 120.0);
    EXPECT_DOUBLE_EQ(w7.targetMemoryMB, 2048.0);
    EXPECT_EQ(general.dataName, w7s.dataName);
    EXPECT_EQ(general.environment, (std::vector<std::string>{"ORDENA_GENERAL_PATH=1", "ORDENA_THREADS=1"}));
    EXPECT_TRUE(w7s.environment.empty());
    const std::string w7text = scriptText(w7);
    EXPECT_NE(w7text.find("estimate ! plausible=w7.pv;"), std::string::npos);
    EXPECT_NE(w7text.find("regression x1, x2, x3, x4, x5, x6, x7, x8, x9, x10;"), std::string::npos);
    EXPECT_NE(w7text.find("model item + item*step;"), std::string::npos);

    // Scaling keeps at least ten cases.
    EXPECT_EQ(find(standardWorkloads(1e-6), "W5").cases, 10);
    EXPECT_EQ(find(standardWorkloads(0.01), "W3-ram").cases, 5000);
}

TEST(BenchWorkloads, DataFilesMatchTheirFormatStatements) {
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    for (const auto& w : standardWorkloads(0.002)) {
        SCOPED_TRACE(w.id);
        if (w.kind == DataKind::Simulation) {
            // The generating difficulties, one "item 0 value" line per item.
            writeDataFile(w, dir.path());
            auto items = lines(readFile(dir.path() + "/" + w.dataName));
            ASSERT_EQ(static_cast<int>(items.size()), w.items);
            EXPECT_EQ(items.front(), "1 0 -1.4000");
            EXPECT_EQ(items.back(), std::to_string(w.items) + " 0 1.4000");
            continue;
        }
        std::int64_t responses = writeDataFile(w, dir.path());
        writeScriptFile(w, dir.path());
        std::string script = readFile(dir.path() + "/" + w.scriptName);
        EXPECT_EQ(script, scriptText(w));
        auto data = lines(readFile(dir.path() + "/" + w.dataName));
        int records = w.kind == DataKind::Raters ? w.raters : 1;
        ASSERT_EQ(static_cast<int>(data.size()), w.cases * records);
        if (w.kind == DataKind::Booklets) {
            EXPECT_EQ(responses, static_cast<std::int64_t>(w.cases) * kBookletClusters * kClusterItems);
            continue;  // checked on its own below
        }
        EXPECT_EQ(responses, static_cast<std::int64_t>(w.cases) * records * w.items);

        int last = lastResponseColumn(script);
        int first = last - w.items + 1;
        for (std::size_t r = 0; r < data.size(); ++r) {
            const std::string& line = data[r];
            ASSERT_EQ(static_cast<int>(line.size()), last) << "record " << r;
            // pid 1-6: the case number from 1, the same on every record of a case.
            EXPECT_EQ(std::atoi(line.substr(0, 6).c_str()), static_cast<int>(r) / records + 1);
            for (int c = first; c <= last; ++c) {
                char x = line[static_cast<std::size_t>(c - 1)];
                ASSERT_TRUE(x >= '0' && x < '0' + w.categories) << "record " << r << " column " << c;
            }
            if (w.kind == DataKind::Raters) {
                EXPECT_EQ(line[7], '1' + static_cast<int>(r) % records);
            }
            if (w.kind == DataKind::PartialCredit) {
                // x1 8-15 and x2 17-24 are numbers filling their columns.
                for (int start : {7, 16}) {
                    std::string field = line.substr(static_cast<std::size_t>(start), 8);
                    char* end = nullptr;
                    std::strtod(field.c_str(), &end);
                    EXPECT_EQ(*end, '\0') << field;
                }
            }
        }
    }
    // Booklets: each case answers the four clusters of its booklet, every
    // cluster in one position of four booklets; the score statements give
    // each cluster one of three dimensions.
    WorkloadSpec w7 = find(standardWorkloads(0.001), "W7");
    writeDataFile(w7, dir.path());
    const std::string script = scriptText(w7);
    const int last = lastResponseColumn(script), first = last - w7.items + 1;
    EXPECT_EQ(first, 91);
    EXPECT_NE(script.find("x10 83-89 responses 91-270;"), std::string::npos);
    std::vector<int> seen(static_cast<std::size_t>(kClusters), 0);
    const auto w7lines = lines(readFile(dir.path() + "/" + w7.dataName));
    ASSERT_EQ(static_cast<int>(w7lines.size()), w7.cases);
    int polytomousTwos = 0;
    for (std::size_t r = 0; r < w7lines.size(); ++r) {
        const std::string& line = w7lines[r];
        ASSERT_EQ(static_cast<int>(line.size()), last);
        const int booklet = std::atoi(line.substr(7, 2).c_str()) - 1;
        ASSERT_TRUE(booklet >= 0 && booklet < kClusters);
        for (int k = 0; k < kBackground; ++k) {
            std::string field = line.substr(static_cast<std::size_t>(10 + 8 * k), 7);
            char* end = nullptr;
            std::strtod(field.c_str(), &end);
            EXPECT_EQ(*end, '\0') << field;
        }
        for (int i = 0; i < w7.items; ++i) {
            const char x = line[static_cast<std::size_t>(first - 1 + i)];
            const int cluster = i / kClusterItems;
            const int position = (cluster - booklet + kClusters) % kClusters;
            if (position < kBookletClusters) {
                ASSERT_TRUE(x >= '0' && x <= (i % 3 == 2 ? '2' : '1')) << "case " << r << " item " << i;
                polytomousTwos += x == '2';
                if (i % kClusterItems == 0) ++seen[static_cast<std::size_t>(cluster)];
            } else {
                ASSERT_EQ(x, ' ') << "case " << r << " item " << i;
            }
        }
    }
    for (int c = 0; c < kClusters; ++c) EXPECT_GT(seen[static_cast<std::size_t>(c)], 0) << c;
    EXPECT_GT(polytomousTwos, 0);
    EXPECT_NE(script.find("scores (0,1,2) (0,1,2) () () ! item(1-15);"), std::string::npos);
    EXPECT_NE(script.find("scores (0,1,2) () (0,1,2) () ! item(16-30);"), std::string::npos);
    EXPECT_NE(script.find("scores (0,1,2) () () (0,1,2) ! item(166-180);"), std::string::npos);

    // The two dimensions' score statements cover all thirty items between them.
    std::string w4 = scriptText(find(standardWorkloads(), "W4"));
    EXPECT_NE(w4.find("scores (0,1) (0,1) () ! item(1-15);"), std::string::npos);
    EXPECT_NE(w4.find("scores (0,1) () (0,1) ! item(16-30);"), std::string::npos);
}

TEST(BenchWorkloads, GenerationIsDeterministicAndFollowsTheModel) {
    TempDir a, b;
    auto all = standardWorkloads(0.1);
    auto w1 = find(all, "W1");
    writeDataFile(w1, a.path());
    writeDataFile(w1, b.path());
    std::string first = readFile(a.path() + "/w1.dat");
    EXPECT_EQ(first, readFile(b.path() + "/w1.dat"));
    auto other = w1;
    other.seed += 10;
    writeDataFile(other, b.path());
    EXPECT_NE(first, readFile(b.path() + "/w1.dat"));

    // Item difficulties rise through the test: the first item is answered
    // correctly far more often than the last.
    auto data = lines(first);
    int easy = 0, hard = 0;
    for (const auto& line : data) {
        easy += line[7] == '1';
        hard += line[7 + w1.items - 1] == '1';
    }
    EXPECT_GT(easy, static_cast<int>(data.size()) * 3 / 4);
    EXPECT_LT(hard, static_cast<int>(data.size()) / 4);

    // Raters grow more severe from the first to the last.
    auto w5 = find(all, "W5");
    writeDataFile(w5, a.path());
    std::vector<long> total(static_cast<std::size_t>(w5.raters), 0);
    for (const auto& line : lines(readFile(a.path() + "/w5.dat")))
        for (int i = 0; i < w5.items; ++i) total[static_cast<std::size_t>(line[7] - '1')] += line[9 + i] - '0';
    EXPECT_GT(total.front(), total.back());
}

TEST(BenchRunner, RunsAChildAndMeasuresIt) {
    TempDir dir;
    std::string out = dir.path() + "/o", err = dir.path() + "/e";
    RunResult r = runProgram("/bin/sh",
                             {"-c", "pwd; printf 'Iteration: 1\\nIteration: 2\\n'; echo \"timing $ORDENA_TIMING\" >&2"},
                             dir.path(), out, err, {"ORDENA_TIMING=1"}, 60);
    EXPECT_TRUE(r.started);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, fs::canonical(dir.path()).string() + "\nIteration: 1\nIteration: 2\n");
    EXPECT_EQ(r.err, "timing 1\n");
    EXPECT_GT(r.peakRssMB, 0.0);
    EXPECT_GT(r.wallSeconds, 0.0);

    r = runProgram("/bin/sh", {"-c", "echo 'Error: no data' >&2; exit 3"}, dir.path(), out, err, {}, 60);
    EXPECT_EQ(r.exitStatus, 3);
    EXPECT_EQ(firstError(r.err), "Error: no data");

    r = runProgram("/bin/sh", {"-c", "exec sleep 30"}, dir.path(), out, err, {}, 0.3);
    EXPECT_TRUE(r.timedOut);
    EXPECT_EQ(r.exitStatus, -9);

    r = runProgram(dir.path() + "/missing", {}, dir.path(), out, err, {}, 60);
    EXPECT_FALSE(r.started);
    EXPECT_NE(r.failure.find("missing"), std::string::npos);

    r = runProgram("/bin/sh", {"-c", "true"}, dir.path() + "/none", out, err, {}, 60);
    EXPECT_FALSE(r.started);
}

TEST(BenchRunner, ReadsIterationsAndTimingFromTheOutput) {
    EXPECT_EQ(countIterations(""), 0);
    EXPECT_EQ(countIterations("=>estimate;\n\nIteration: 1  .....\nDeviance = 1\n\nIteration: 12  ....\n"
                              "Iteration: 3\nNo Iteration: 99\n"),
              12);
    EXPECT_EQ(countIterations("Iteration: 2\r\nIteration: 5\r\n"), 5);

    auto t = parseTiming("Warning: x\ntiming estep_passes=12 estep_seconds=0.25 nodes=15 response_nodes=7.2e7 bad "
                         "junk=1x\ntiming estep_passes=99\n");
    EXPECT_EQ(t.size(), 4u);
    EXPECT_DOUBLE_EQ(t["estep_passes"], 12);
    EXPECT_DOUBLE_EQ(t["estep_seconds"], 0.25);
    EXPECT_DOUBLE_EQ(t["response_nodes"], 7.2e7);
    EXPECT_TRUE(parseTiming("Error: timing estep_passes=3\n").empty());
}

TEST(BenchReport, SummarisesTheRuns) {
    WorkloadSpec spec = standardWorkloads()[0];
    auto run = [](double wall, double rss, const std::string& out, const std::string& err, int status = 0) {
        RunResult r;
        r.started = true;
        r.exitStatus = status;
        r.wallSeconds = wall;
        r.peakRssMB = rss;
        r.out = out;
        r.err = err;
        return r;
    };
    const std::string its = "Iteration: 1\nIteration: 2\nIteration: 3\nIteration: 4\n";
    Measurement m = summarise(spec, 400000,
                              {run(0.5, 10, its, "timing estep_seconds=9 response_nodes=1"),
                               run(0.3, 30, its, "timing estep_seconds=0.2 response_nodes=4e8 iterations=4 iteration_seconds=0.28"),
                               run(0.2, 20, its, "")});
    EXPECT_TRUE(m.ok);
    EXPECT_DOUBLE_EQ(m.medianWall, 0.3);
    EXPECT_DOUBLE_EQ(m.peakRssMB, 30);
    EXPECT_EQ(m.iterations, 4);
    EXPECT_TRUE(m.iterationsAgree);
    // The engine's figures are those of the median run.
    EXPECT_TRUE(m.msFromEngine);
    EXPECT_DOUBLE_EQ(m.msPerIteration, 70.0);
    EXPECT_DOUBLE_EQ(m.throughput, 2e9);
    EXPECT_TRUE(wallTargetMet(m));
    std::string t = table({m});
    EXPECT_NE(t.find("< 0.5 s met"), std::string::npos);
    EXPECT_NE(t.find("met by W1; missed by none"), std::string::npos);

    // Without the engine's figures: wall time per iteration, no throughput.
    m = summarise(spec, 400000, {run(0.8, 10, its, ""), run(0.6, 10, "Iteration: 5\n", "")});
    EXPECT_DOUBLE_EQ(m.medianWall, 0.7);
    EXPECT_FALSE(m.msFromEngine);
    EXPECT_LT(m.throughput, 0);
    EXPECT_FALSE(m.iterationsAgree);
    EXPECT_FALSE(wallTargetMet(m));
    t = table({m});
    EXPECT_NE(t.find("MISSED"), std::string::npos);
    EXPECT_NE(t.find("not reported by W1"), std::string::npos);
    EXPECT_NE(json({m}, {}).find("\"estep_throughput\": null"), std::string::npos);

    m = summarise(spec, 400000, {run(0.1, 10, "", "Warning: w\nError: Data file name not specified\n", 1)});
    EXPECT_FALSE(m.ok);
    EXPECT_EQ(m.problem, "exit status 1: Error: Data file name not specified");
    EXPECT_FALSE(wallTargetMet(m));
    EXPECT_NE(table({m}).find("FAILED: exit status 1"), std::string::npos);
    EXPECT_NE(json({m}, {{"cpu", "a \"quoted\" name"}}).find("\"cpu\": \"a \\\"quoted\\\" name\""), std::string::npos);
    EXPECT_DOUBLE_EQ(median({3, 1, 2, 10}), 2.5);
}

TEST(BenchReport, SystemFileLinesCompareTheLoadWithTheDataPasses) {
    Measurement m;
    m.spec = find(standardWorkloads(), "W3-sys");
    m.ok = true;
    m.timing = {{"put_seconds", 1.5}, {"get_seconds", 2.25}, {"data_pass_seconds", 9.0}, {"model_file_seconds", 1.0}};
    EXPECT_EQ(systemFileLines({m}), "W3-sys: save 1.50 s, load 2.25 s; the data passes 9.00 s, with the model file "
                                    "10.00 s (load faster than the data passes)\n");
    m.timing["get_seconds"] = 9.5;
    EXPECT_NE(systemFileLines({m}).find("(load NOT faster than the data passes)"), std::string::npos);
    // Workloads without a system file, or without the figures, have no line.
    m.timing.erase("put_seconds");
    EXPECT_EQ(systemFileLines({m}), "");
    m.spec = find(standardWorkloads(), "W1");
    EXPECT_EQ(systemFileLines({m}), "");
}

TEST(BenchProgram, GeneratesTheWorkloads) {
    TempDir dir;
    std::string scratch = dir.path() + "/scratch";
    RunResult r = runProgram(ORDENA_BENCH_PROGRAM, {"--generate-only", "--scale", "0.001", "--scratch", scratch},
                             dir.path(), dir.path() + "/o", dir.path() + "/e", {}, 120);
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    for (const char* name : {"w1.dat", "w2.dat", "w3.dat", "w4.dat", "w5.dat", "w7.dat", "w7s.dat", "w1.zrc", "w2.zrc",
                             "w3-disk.zrc", "w3-ram.zrc", "w4.zrc", "w5.zrc", "w6.zrc", "w7.zrc", "w7s.zrc",
                             "w7s-general.zrc"})
        EXPECT_TRUE(fs::exists(scratch + "/" + name)) << name;
    EXPECT_EQ(lines(readFile(scratch + "/w3.dat")).size(), 500u);

    r = runProgram(ORDENA_BENCH_PROGRAM, {"--only", "W9"}, dir.path(), dir.path() + "/o", dir.path() + "/e", {}, 60);
    EXPECT_EQ(r.exitStatus, 2);
}

TEST(BenchProgram, MeasuresAStandInForOrdena) {
    TempDir dir;
    // Reports seven iterations and its E-step figures; fails on a regression.
    std::string fake = dir.path() + "/fake-ordena";
    writeExecutable(fake,
                    "#!/bin/sh\n"
                    "grep -q regression \"$1\" && { echo 'Error: fake failure' >&2; exit 1; }\n"
                    "test -f \"$(sed -n 's/^datafile \\(.*\\);$/\\1/p' \"$1\")\" || exit 4\n"
                    "for t in 1 2 3 4 5 6 7; do printf '\\r\\nIteration: %s  ....\\r\\n' $t; done\n"
                    "echo \"timing estep_passes=7 estep_seconds=0.5 responses=100 nodes=15 response_nodes=2e9 "
                    "iterations=7 iteration_seconds=0.7\" >&2\n");
    std::string scratch = dir.path() + "/scratch";
    std::string results = dir.path() + "/results.json";
    RunResult r = runProgram(ORDENA_BENCH_PROGRAM,
                             {"--ordena", fake, "--scale", "0.001", "--only", "W1,W2,W6", "--scratch", scratch,
                              "--json", results},
                             dir.path(), dir.path() + "/o", dir.path() + "/e", {}, 120);
    EXPECT_EQ(r.exitStatus, 1) << r.err;  // W2 failed
    EXPECT_NE(r.out.find("FAILED: exit status 1: Error: fake failure"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("met by W1 W6"), std::string::npos) << r.out;
    std::string js = readFile(results);
    EXPECT_NE(js.find("\"id\": \"W1\""), std::string::npos);
    EXPECT_NE(js.find("\"iterations\": 7"), std::string::npos);
    EXPECT_NE(js.find("\"ms_per_iteration\": 100.000"), std::string::npos);
    EXPECT_NE(js.find("\"estep_throughput\": 4e+09"), std::string::npos);
    EXPECT_NE(js.find("\"problem\": \"exit status 1: Error: fake failure\""), std::string::npos);
    // Three runs of W1, one of the failing W2.
    EXPECT_NE(r.err.find("W1 run 3"), std::string::npos);
    EXPECT_EQ(r.err.find("W2 run 2"), std::string::npos);
    // Without --keep the scratch directory is cleaned away.
    EXPECT_FALSE(fs::exists(scratch));

    // A workload's own environment reaches the child, with the timing switch.
    std::string strict = dir.path() + "/strict-ordena";
    writeExecutable(strict,
                    "#!/bin/sh\n"
                    "test \"$ORDENA_GENERAL_PATH$ORDENA_THREADS$ORDENA_TIMING\" = 111 || exit 5\n"
                    "printf 'Iteration: 1\\n'\n");
    r = runProgram(ORDENA_BENCH_PROGRAM,
                   {"--ordena", strict, "--scale", "0.001", "--only", "W7-small-general", "--runs", "1", "--scratch",
                    scratch, "--json", results},
                   dir.path(), dir.path() + "/o", dir.path() + "/e", {}, 120);
    EXPECT_EQ(r.exitStatus, 0) << r.out << r.err;
}

TEST(BenchTiming, TheEnginesLineReadsBackAsWritten) {
    ordena::Timing timing;
    timing.addEStep(0.25, 400000, 15);
    timing.addEStep(0.5, 399990, 20);
    timing.addIteration(1.0);
    timing.addIteration(0.5);
    timing.factorisedPasses = 1;
    timing.threads = 2;
    auto t = parseTiming(timing.report().str() + "\n");
    EXPECT_DOUBLE_EQ(t["factorised_passes"], 1);
    EXPECT_DOUBLE_EQ(t["threads"], 2);
    EXPECT_DOUBLE_EQ(t["estep_passes"], 2);
    EXPECT_DOUBLE_EQ(t["estep_seconds"], 0.75);
    EXPECT_DOUBLE_EQ(t["responses"], 399990);  // the last pass
    EXPECT_DOUBLE_EQ(t["nodes"], 20);
    EXPECT_DOUBLE_EQ(t["response_nodes"], 400000.0 * 15 + 399990.0 * 20);
    EXPECT_DOUBLE_EQ(t["iterations"], 2);
    EXPECT_DOUBLE_EQ(t["iteration_seconds"], 1.5);
    timing.clear();
    EXPECT_DOUBLE_EQ(parseTiming(timing.report().str())["estep_passes"], 0);
}
