#include "bench/workloads.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <stdexcept>

#include "base/matrix.h"
#include "base/random.h"

namespace ordena::bench {

namespace {

// Buffered writing of one file; the data files of the largest workload run
// to tens of megabytes.
class Output {
public:
    explicit Output(const std::string& path) : path_(path), file_(std::fopen(path.c_str(), "wb"), &std::fclose) {
        if (!file_) throw std::runtime_error("cannot create " + path);
        buffer_.reserve(kChunk + 4096);
    }
    void line(const std::string& text) {
        buffer_ += text;
        buffer_ += '\n';
        if (buffer_.size() >= kChunk) flush();
    }
    void close() {
        flush();
        if (std::fflush(file_.get()) != 0) throw std::runtime_error("cannot write " + path_);
        file_.reset();
    }

private:
    static constexpr std::size_t kChunk = 1 << 20;
    void flush() {
        if (!buffer_.empty() && std::fwrite(buffer_.data(), 1, buffer_.size(), file_.get()) != buffer_.size())
            throw std::runtime_error("cannot write " + path_);
        buffer_.clear();
    }
    std::string path_;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_;
    std::string buffer_;
};

std::string caseId(int n) {
    char b[16];
    std::snprintf(b, sizeof b, "%06d", n + 1);
    return b;
}

// Item locations spread evenly over [low, high].
double location(int i, int count, double low, double high) {
    return count > 1 ? low + (high - low) * i / (count - 1) : 0.5 * (low + high);
}

// A category of a partial credit item: P(k) is proportional to
// exp(sum over j <= k of (theta - delta - tau_j)).
int partialCredit(double theta, double delta, const std::vector<double>& tau, RanUniform& u) {
    const int k = static_cast<int>(tau.size()) + 1;
    double eta[16];
    double total = 0.0;
    double cumulative = 0.0;
    for (int c = 0; c < k; ++c) {
        if (c > 0) cumulative += theta - delta - tau[static_cast<std::size_t>(c - 1)];
        eta[c] = std::exp(cumulative);
        total += eta[c];
    }
    double draw = u.draw() * total;
    for (int c = 0; c < k - 1; ++c) {
        draw -= eta[c];
        if (draw < 0.0) return c;
    }
    return k - 1;
}

char dichotomous(double theta, double delta, RanUniform& u) {
    double p = 1.0 / (1.0 + std::exp(delta - theta));
    return u.draw() < p ? '1' : '0';
}

Matrix covariance2(double r) {
    Matrix c(2, 2);
    c[0][0] = c[1][1] = 1.0;
    c[0][1] = c[1][0] = r;
    return c;
}

void writeDichotomous(const WorkloadSpec& s, Output& out) {
    RanNormal ability(s.seed);
    RanUniform u(0.0, 1.0, s.seed + 1);
    std::vector<double> delta(static_cast<std::size_t>(s.items));
    for (int i = 0; i < s.items; ++i) delta[static_cast<std::size_t>(i)] = location(i, s.items, -2.0, 2.0);
    std::string line;
    for (int n = 0; n < s.cases; ++n) {
        double theta = ability.standard();
        line = caseId(n) + ' ';
        for (int i = 0; i < s.items; ++i) line += dichotomous(theta, delta[static_cast<std::size_t>(i)], u);
        out.line(line);
    }
}

void writePartialCredit(const WorkloadSpec& s, Output& out) {
    Vector mean = zeroVector(2);
    RanMVNormal background(mean, covariance2(0.3), s.seed);
    RanNormal residual(s.seed + 2);
    RanUniform u(0.0, 1.0, s.seed + 1);
    std::vector<double> tau;
    for (int j = 1; j < s.categories; ++j) tau.push_back(location(j - 1, s.categories - 1, -0.8, 0.8));
    std::string line;
    char number[32];
    for (int n = 0; n < s.cases; ++n) {
        Vector x = background.draw();
        double x1 = x[0][0];
        double x2 = x[1][0];
        double theta = 0.5 * x1 - 0.3 * x2 + 0.8 * residual.standard();
        line = caseId(n);
        std::snprintf(number, sizeof number, " %8.4f %8.4f ", x1, x2);
        line += number;
        for (int i = 0; i < s.items; ++i)
            line += static_cast<char>('0' + partialCredit(theta, location(i, s.items, -1.0, 1.0), tau, u));
        out.line(line);
    }
}

void writeTwoDimensions(const WorkloadSpec& s, Output& out) {
    Vector mean = zeroVector(2);
    RanMVNormal ability(mean, covariance2(0.6), s.seed);
    RanUniform u(0.0, 1.0, s.seed + 1);
    const int half = s.items / 2;
    std::string line;
    for (int n = 0; n < s.cases; ++n) {
        Vector theta = ability.draw();
        line = caseId(n) + ' ';
        for (int i = 0; i < s.items; ++i) {
            bool first = i < half;
            int k = first ? i : i - half;
            int count = first ? half : s.items - half;
            line += dichotomous(theta[first ? 0 : 1][0], location(k, count, -1.5, 1.5), u);
        }
        out.line(line);
    }
}

void writeRaters(const WorkloadSpec& s, Output& out) {
    RanNormal ability(s.seed);
    RanUniform u(0.0, 1.0, s.seed + 1);
    std::vector<double> tau;
    for (int j = 1; j < s.categories; ++j) tau.push_back(location(j - 1, s.categories - 1, -0.6, 0.6));
    std::string line;
    for (int n = 0; n < s.cases; ++n) {
        double theta = ability.standard();
        for (int r = 0; r < s.raters; ++r) {
            double severity = location(r, s.raters, -0.4, 0.4);
            line = caseId(n) + ' ' + static_cast<char>('1' + r) + ' ';
            for (int i = 0; i < s.items; ++i)
                line += static_cast<char>('0' + partialCredit(theta, location(i, s.items, -1.0, 1.0) + severity, tau, u));
            out.line(line);
        }
    }
}

// The booklet design: cluster c holds items c * kClusterItems onwards and
// measures dimension c % 3; booklet b holds clusters b, b + 1, ... (mod the
// number of clusters), so every cluster appears once in every position.
int bookletCluster(int booklet, int position) { return (booklet + position) % kClusters; }
int itemDimension(int item) { return (item / kClusterItems) % 3; }
bool threeCategories(int item) { return item % 3 == 2; }
// First column of background variable k (from 0), and of the responses.
int backgroundColumn(int k) { return 11 + 8 * k; }
int bookletResponseColumn() { return backgroundColumn(kBackground); }

void writeBooklets(const WorkloadSpec& s, Output& out) {
    // Residual covariance of the three dimensions: correlations 0.6 to 0.8.
    Matrix residual(3, 3);
    const double r[3][3] = {{1.0, 0.7, 0.6}, {0.7, 1.0, 0.8}, {0.6, 0.8, 1.0}};
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b) residual[a][b] = 0.8 * r[a][b];
    RanMVNormal ability(zeroVector(3), residual, s.seed);
    RanNormal background(s.seed + 2);
    RanUniform u(0.0, 1.0, s.seed + 1);
    // Item locations spread over the pool so that every cluster has easy and
    // hard items; the polytomous items have two steps.
    std::vector<double> delta(static_cast<std::size_t>(s.items));
    for (int i = 0; i < s.items; ++i)
        delta[static_cast<std::size_t>(i)] = location((i * 7) % s.items, s.items, -1.5, 1.5);
    const std::vector<double> dichotomousSteps, steps{-0.6, 0.6};
    std::string line;
    char number[32];
    double x[kBackground];
    for (int n = 0; n < s.cases; ++n) {
        const int booklet = n % kClusters;
        line = caseId(n);
        std::snprintf(number, sizeof number, " %2d", booklet + 1);
        line += number;
        for (int k = 0; k < kBackground; ++k) {
            x[k] = background.standard();
            std::snprintf(number, sizeof number, " %7.3f", x[k]);
            line += number;
        }
        Vector e = ability.draw();
        double theta[3];
        for (int d = 0; d < 3; ++d) {
            theta[d] = e[d][0];
            for (int k = 0; k < kBackground; ++k)
                theta[d] += ((k + d) % 2 ? -0.05 : 0.1) * (1 + (k + 2 * d) % 3) * x[k];
        }
        std::string responses(static_cast<std::size_t>(s.items), ' ');
        for (int c = 0; c < kBookletClusters; ++c) {
            const int cluster = bookletCluster(booklet, c);
            for (int j = 0; j < kClusterItems; ++j) {
                const int i = cluster * kClusterItems + j;
                if (i >= s.items) continue;
                const double t = theta[itemDimension(i)], d = delta[static_cast<std::size_t>(i)];
                responses[static_cast<std::size_t>(i)] =
                    threeCategories(i) ? static_cast<char>('0' + partialCredit(t, d, steps, u)) : dichotomous(t, d, u);
            }
        }
        line += ' ';
        line += responses;
        out.line(line);
    }
}

// The generating difficulties of a simulation study, one "item 0 value"
// line per item as the item file of generate.
void writeSimulationItems(const WorkloadSpec& s, Output& out) {
    char line[64];
    for (int i = 0; i < s.items; ++i) {
        std::snprintf(line, sizeof line, "%d 0 %.4f", i + 1, location(i, s.items, -1.4, 1.4));
        out.line(line);
    }
}

// "8-47" for count responses of width 1 from column first.
std::string columns(int first, int count) { return std::to_string(first) + "-" + std::to_string(first + count - 1); }

}  // namespace

std::vector<WorkloadSpec> standardWorkloads(double scale) {
    auto cases = [scale](int n) {
        long scaled = std::lround(n * scale);
        return static_cast<int>(scaled < 10 ? 10 : scaled);
    };
    std::vector<WorkloadSpec> w;

    WorkloadSpec w1;
    w1.id = "W1";
    w1.title = "Rasch, 10000 cases x 40 items";
    w1.kind = DataKind::Dichotomous;
    w1.dataName = "w1.dat";
    w1.scriptName = "w1.zrc";
    w1.cases = cases(10000);
    w1.items = 40;
    w1.seed = 1101;
    w1.targetSeconds = 0.5;
    w.push_back(w1);

    WorkloadSpec w2;
    w2.id = "W2";
    w2.title = "Partial credit 10000 x 20, 4 categories, regression on 2";
    w2.kind = DataKind::PartialCredit;
    w2.dataName = "w2.dat";
    w2.scriptName = "w2.zrc";
    w2.cases = cases(10000);
    w2.items = 20;
    w2.categories = 4;
    w2.seed = 2202;
    w2.targetSeconds = 1.5;
    w.push_back(w2);

    for (const char* storage : {"disk", "ram"}) {
        WorkloadSpec w3;
        w3.id = std::string("W3-") + storage;
        w3.title = std::string("Rasch, 500000 cases x 50 items, storage=") + storage;
        w3.kind = DataKind::Dichotomous;
        w3.dataName = "w3.dat";
        w3.scriptName = std::string("w3-") + storage + ".zrc";
        w3.cases = cases(500000);
        w3.items = 50;
        w3.seed = 3303;
        w3.estimateOptions = std::string("storage=") + storage;
        w3.targetSeconds = storage[0] == 'd' ? 45.0 : 30.0;
        w3.targetMemoryMB = 2048.0;
        w.push_back(w3);
    }

    // W3 saved to a system file and loaded again: the engine's figures give
    // the save and load times beside those of the data passes they spare.
    WorkloadSpec files = w[w.size() - 2];  // W3-disk
    files.id = "W3-sys";
    files.title = "W3 saved by put and loaded by get (2 iterations)";
    files.scriptName = "w3-sys.zrc";
    files.estimateOptions = "iter=2, fit=no";
    files.targetSeconds = 0.0;
    files.systemFileName = "w3.zrs";
    files.outputNames.push_back(files.systemFileName);
    files.afterEstimate = "put >> w3.zrs;\nreset;\nget << w3.zrs;\n";
    w.push_back(files);

    WorkloadSpec w4;
    w4.id = "W4";
    w4.title = "Two dimensions, 5000 x 30 items, 225 nodes";
    w4.kind = DataKind::TwoDimensions;
    w4.dataName = "w4.dat";
    w4.scriptName = "w4.zrc";
    w4.cases = cases(5000);
    w4.items = 30;
    w4.seed = 4404;
    w4.targetSeconds = 2.0;
    w.push_back(w4);

    WorkloadSpec w5;
    w5.id = "W5";
    w5.title = "Facets, 2000 cases x 4 raters x 10 items, 3 categories";
    w5.kind = DataKind::Raters;
    w5.dataName = "w5.dat";
    w5.scriptName = "w5.zrc";
    w5.cases = cases(2000);
    w5.items = 10;
    w5.categories = 3;
    w5.raters = 4;
    w5.seed = 5505;
    w5.targetSeconds = 2.0;
    w.push_back(w5);

    // The data of W1, and the case estimates after the estimation.
    WorkloadSpec w6 = w1;
    w6.id = "W6";
    w6.title = "W1 with abilities=yes and plausible values";
    w6.scriptName = "w6.zrc";
    w6.plausibleName = "w6.pv";
    w6.estimateOptions = "abilities=yes, plausible=" + w6.plausibleName;
    w6.targetSeconds = 3.0;
    w.push_back(w6);

    // The data of W1 by joint maximum likelihood: no slower than W1.
    WorkloadSpec jml = w1;
    jml.id = "W1-jml";
    jml.title = "W1 by joint maximum likelihood";
    jml.scriptName = "w1-jml.zrc";
    jml.estimateOptions = "method=jml";
    w.push_back(jml);

    // A large-scale assessment: rotated booklets, three correlated
    // dimensions, a latent regression, plausible values; the default method
    // (Bock/Aitken with regressors) and nodes.
    WorkloadSpec w7;
    w7.id = "W7";
    w7.title = "Booklets, 200000 cases, 3 dimensions, regression on 10";
    w7.kind = DataKind::Booklets;
    w7.dataName = "w7.dat";
    w7.scriptName = "w7.zrc";
    w7.cases = cases(200000);
    w7.items = kClusters * kClusterItems;
    w7.categories = 3;
    w7.seed = 7707;
    w7.plausibleName = "w7.pv";
    w7.estimateOptions = "plausible=" + w7.plausibleName;
    w7.targetSeconds = 120.0;
    w7.targetMemoryMB = 2048.0;
    w.push_back(w7);

    // The same design with a tenth of the cases, and once more through the
    // engine's general path on one thread, as the engine ran before it
    // exploited the design: the before and after of one run.
    WorkloadSpec small = w7;
    small.id = "W7-small";
    small.title = "Booklets, 20000 cases, 3 dimensions, regression on 10";
    small.dataName = "w7s.dat";
    small.scriptName = "w7s.zrc";
    small.cases = cases(20000);
    small.seed = 7717;
    small.plausibleName = "w7s.pv";
    small.estimateOptions = "plausible=" + small.plausibleName;
    small.targetSeconds = 0.0;
    small.targetMemoryMB = 0.0;
    w.push_back(small);
    WorkloadSpec general = small;
    general.id = "W7-small-general";
    general.title = "W7-small, general path, one thread";
    general.scriptName = "w7s-general.zrc";
    general.plausibleName = "w7s-general.pv";
    general.estimateOptions = "plausible=" + general.plausibleName;
    general.environment = {"ORDENA_GENERAL_PATH=1", "ORDENA_THREADS=1"};
    w.push_back(general);
    // A recovery study: 20 replications of generate, estimate and the
    // result files.
    WorkloadSpec sim;
    sim.id = "SIM";
    sim.title = "Simulation, 20 replications of 500 cases x 15 Rasch items";
    sim.kind = DataKind::Simulation;
    sim.dataName = "sim-items.txt";
    sim.scriptName = "sim.zrc";
    sim.cases = cases(500);
    sim.items = 15;
    sim.replications = 20;
    sim.seed = 7707;
    for (const char* suffix : {"pv", "mle", "wle", "eap", "sum", "itn", "pop", "ite", "itg", "abl", "dat"})
        sim.outputNames.push_back(std::string("sim_") + suffix + ".txt");
    w.push_back(sim);
    return w;
}

std::int64_t responseCount(const WorkloadSpec& spec) {
    if (spec.kind == DataKind::Booklets)
        return static_cast<std::int64_t>(spec.cases) * kBookletClusters * kClusterItems;
    std::int64_t n = static_cast<std::int64_t>(spec.cases) * spec.items;
    if (spec.kind == DataKind::Simulation) return n * spec.replications;
    return spec.kind == DataKind::Raters ? n * spec.raters : n;
}

std::int64_t writeDataFile(const WorkloadSpec& spec, const std::string& dir) {
    Output out(dir + "/" + spec.dataName);
    switch (spec.kind) {
        case DataKind::Dichotomous: writeDichotomous(spec, out); break;
        case DataKind::PartialCredit: writePartialCredit(spec, out); break;
        case DataKind::TwoDimensions: writeTwoDimensions(spec, out); break;
        case DataKind::Raters: writeRaters(spec, out); break;
        case DataKind::Booklets: writeBooklets(spec, out); break;
        case DataKind::Simulation: writeSimulationItems(spec, out); break;
    }
    out.close();
    return responseCount(spec);
}

std::string scriptText(const WorkloadSpec& spec) {
    if (spec.kind == DataKind::Simulation)
        return "set seed=" + std::to_string(spec.seed) + ";\nsimulate ! nitems=" + std::to_string(spec.items) +
               ", npersons=" + std::to_string(spec.cases) + ", itemdist=" + spec.dataName +
               ", replications=" + std::to_string(spec.replications) + ", filename=sim_;\n";
    std::string s = "datafile " + spec.dataName + ";\n";
    switch (spec.kind) {
        case DataKind::Dichotomous:
            s += "format pid 1-6 responses " + columns(8, spec.items) + ";\n";
            s += "model item;\n";
            break;
        case DataKind::PartialCredit:
            s += "format pid 1-6 x1 8-15 x2 17-24 responses " + columns(26, spec.items) + ";\n";
            s += "regression x1, x2;\n";
            s += "model item + item*step;\n";
            break;
        case DataKind::TwoDimensions: {
            int half = spec.items / 2;
            s += "format pid 1-6 responses " + columns(8, spec.items) + ";\n";
            s += "scores (0,1) (0,1) () ! item(1-" + std::to_string(half) + ");\n";
            s += "scores (0,1) () (0,1) ! item(" + std::to_string(half + 1) + "-" + std::to_string(spec.items) + ");\n";
            s += "model item;\n";
            break;
        }
        case DataKind::Raters:
            s += "format pid 1-6 rater 8 responses " + columns(10, spec.items) + ";\n";
            s += "model rater + item + item*step;\n";
            break;
        case DataKind::Booklets: {
            s += "format pid 1-6 booklet 8-9";
            for (int k = 0; k < kBackground; ++k)
                s += " x" + std::to_string(k + 1) + " " + columns(backgroundColumn(k), 7);
            s += " responses " + columns(bookletResponseColumn(), spec.items) + ";\n";
            s += "codes 0,1,2;\n";
            for (int c = 0; c * kClusterItems < spec.items; ++c) {
                const int d = itemDimension(c * kClusterItems);
                s += "scores (0,1,2)";
                for (int e = 0; e < 3; ++e) s += e == d ? " (0,1,2)" : " ()";
                s += " ! item(" + columns(c * kClusterItems + 1, kClusterItems) + ");\n";
            }
            s += "regression";
            for (int k = 0; k < kBackground; ++k) s += (k ? ", x" : " x") + std::to_string(k + 1);
            s += ";\nmodel item + item*step;\n";
            break;
        }
        case DataKind::Simulation:
            break;
    }
    s += spec.estimateOptions.empty() ? "estimate;\n" : "estimate ! " + spec.estimateOptions + ";\n";
    s += spec.afterEstimate;
    s += "show;\n";
    return s;
}

void writeScriptFile(const WorkloadSpec& spec, const std::string& dir) {
    Output out(dir + "/" + spec.scriptName);
    std::string text = scriptText(spec);
    text.pop_back();  // Output::line adds the last line end
    out.line(text);
    out.close();
}

}  // namespace ordena::bench
