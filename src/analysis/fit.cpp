#include "analysis/fit.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "base/file_kind.h"
#include "base/index.h"
#include "base/number_format.h"
#include "base/timing.h"
#include "command/labels.h"
#include "command/parse.h"
#include "command/session.h"
#include "data/response_reader.h"
#include "estimation/case_estimates.h"
#include "estimation/case_pass.h"
#include "estimation/case_score_file.h"
#include "estimation/estimation_work.h"
#include "estimation/hooks.h"
#include "estimation/nodes.h"
#include "estimation/population.h"
#include "estimation/posterior.h"
#include "estimation/probabilities.h"
#include "estimation/setup.h"
#include "model/parameter_list.h"
#include "report/report_writer.h"

namespace ordena {

namespace {

// The most fit groups a fit matrix file may give.
constexpr int kMaxFitGroups = 1000000;
// Draws per case from which the fit figures hardly move with the seed.
constexpr int kSteadyFitDraws = 20;

double scoreSum(const ModelBuild& build, int g, int k) {
    double s = 0.0;
    for (int d = 0; d < build.dimensions; ++d) {
        const std::size_t at = (static_cast<std::size_t>(g) * build.maxCategories + k) * build.dimensions + d;
        if (at < build.scores.size()) s += build.scores[at];
    }
    return s;
}

int categoriesOf(const ModelBuild& build, int g) {
    if (g < 0 || static_cast<std::size_t>(g) >= build.categoryCount.size()) return 0;
    return std::clamp(build.categoryCount[static_cast<std::size_t>(g)], 0, std::max(1, build.maxCategories));
}

bool levelsMatch(const std::vector<std::int32_t>& parameter, const std::vector<std::int32_t>& item) {
    for (std::size_t j = 0; j < parameter.size(); ++j) {
        if (parameter[j] < 0) continue;
        if (j >= item.size() || parameter[j] != item[j]) return false;
    }
    return true;
}

}  // namespace

std::vector<LayoutGroup> parameterLayoutGroups(const ModelSpec& model, const ModelBuild& build,
                                               const std::vector<std::int32_t>& keptParameters) {
    std::vector<LayoutGroup> groups;
    auto specOf = [&](int number, int flag) -> const ParameterSpec* {
        if (flag != 0) {
            if (number < 0 || static_cast<std::size_t>(number) >= build.constrained.size()) return nullptr;
            return &build.constrained[static_cast<std::size_t>(number)];
        }
        // Parameters removed as not identified leave the kept ones renumbered.
        int original = number;
        if (number >= 0 && static_cast<std::size_t>(number) < keptParameters.size())
            original = keptParameters[static_cast<std::size_t>(number)];
        if (original < 0 || static_cast<std::size_t>(original) >= build.estimated.size()) return nullptr;
        return &build.estimated[static_cast<std::size_t>(original)];
    };
    for (std::size_t t = 0; t < model.terms.size(); ++t) {
        const ModelTerm& term = model.terms[t];
        const bool step = term.hasStep();
        const int count = term.parameterCount();
        for (int j = 0; j < count; ++j) {
            const ParameterSpec* spec =
                specOf(term.parameterNumbers[static_cast<std::size_t>(j)], term.parameterFlags[static_cast<std::size_t>(j)]);
            if (!spec) continue;
            LayoutGroup group;
            group.term = static_cast<int>(t);
            group.levels = spec->levels;
            group.sign = term.sign;
            if (!step) {
                groups.push_back(group);
                continue;
            }
            const int s = spec->step;
            group.category = s - 1;
            groups.push_back(group);
            bool lastOfCombination = true;
            if (j + 1 < count) {
                const ParameterSpec* next = specOf(term.parameterNumbers[static_cast<std::size_t>(j + 1)],
                                                   term.parameterFlags[static_cast<std::size_t>(j + 1)]);
                lastOfCombination = !next || next->levels != spec->levels;
            }
            if (lastOfCombination) {
                group.category = s;
                groups.push_back(group);
                group.category = s + 1;
                groups.push_back(group);
            }
        }
    }
    return groups;
}

FitMatrix layoutFitMatrix(const std::vector<LayoutGroup>& groups, const ModelBuild& build) {
    FitMatrix fit;
    fit.reset(build.items, build.maxCategories, static_cast<int>(groups.size()));
    std::vector<std::int32_t> levels;
    for (int g = 0; g < build.items; ++g) {
        generalisedItemLevels(g, build.levelCounts, levels);
        const int ncat = categoriesOf(build, g);
        for (std::size_t j = 0; j < groups.size(); ++j) {
            const LayoutGroup& group = groups[j];
            if (!levelsMatch(group.levels, levels)) continue;
            const float sign = group.sign == '+' ? -1.0f : 1.0f;
            if (group.category < 0) {
                for (int k = 0; k < ncat; ++k)
                    fit.at(g, k, static_cast<int>(j)) = sign * static_cast<float>(scoreSum(build, g, k));
            } else if (group.category < ncat) {
                fit.at(g, group.category, static_cast<int>(j)) = sign;
            }
        }
    }
    return fit;
}

FitMatrix designFitMatrix(const ModelBuild& build, int P) {
    FitMatrix fit;
    P = std::max(0, std::min(P, build.designStride));
    fit.reset(build.items, build.maxCategories, P);
    for (int g = 0; g < build.items; ++g)
        for (int k = 0; k < fit.maxCat; ++k)
            for (int p = 0; p < P; ++p) {
                const std::size_t at = (static_cast<std::size_t>(g) * build.maxCategories + k) * build.designStride + p;
                if (at < build.design.size()) fit.at(g, k, p) = build.design[at];
            }
    return fit;
}

namespace {

// Whitespace-separated numbers of a file, one at a time; reading stops at
// the first word that is not a number, as a formatted read would.
class NumberReader {
public:
    explicit NumberReader(std::FILE* f) : f_(f) {}
    bool next(double& value) {
        int c;
        while ((c = std::fgetc(f_)) != EOF && (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v')) {
        }
        if (c == EOF) return false;
        std::string word;
        while (c != EOF && !(c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v')) {
            if (word.size() < 64) word += static_cast<char>(c);
            c = std::fgetc(f_);
        }
        char* end = nullptr;
        errno = 0;
        value = std::strtod(word.c_str(), &end);
        return end && *end == '\0' && end != word.c_str() && std::isfinite(value);
    }

private:
    std::FILE* f_;
};

}  // namespace

int readFitMatrix(const MString& fileName, const ModelBuild& build, FitMatrix& fit, Shell& shell) {
    std::FILE* f = fileName.str().find('\0') == std::string::npos ? openRegularForReading(fileName.str(), "r") : nullptr;
    if (!f) {
        shell.errorReport("Error opening file: " + fileName);
        return -1;
    }
    struct Closer {
        std::FILE* f;
        ~Closer() { std::fclose(f); }
    } closer{f};
    NumberReader numbers(f);
    double first = 0.0;
    if (!numbers.next(first)) {
        shell.errorReport("Too few numbers in fit matrix import file");
        return -1;
    }
    if (first < 1.0 || first != std::floor(first) || first > kMaxFitGroups) {
        shell.errorReport("The number of fit groups in the fit matrix import file must be a whole number from 1 to " +
                          itoMString(kMaxFitGroups));
        return -1;
    }
    const int G = static_cast<int>(first);
    // Every coefficient is read before the matrix is allocated, so a huge
    // group count in a short file costs nothing.
    std::size_t needed = 0;
    for (int g = 0; g < build.items; ++g) needed += static_cast<std::size_t>(categoriesOf(build, g)) * G;
    std::vector<float> values;
    values.reserve(std::min<std::size_t>(needed, 1u << 20));
    double v = 0.0;
    while (values.size() < needed) {
        if (!numbers.next(v)) {
            shell.errorReport("Too few numbers in fit matrix import file");
            return -1;
        }
        values.push_back(static_cast<float>(v));
    }
    if (numbers.next(v)) {
        shell.errorReport("Too many numbers in fit matrix import file");
        return -1;
    }
    FitMatrix out;
    out.reset(build.items, build.maxCategories, G);
    std::size_t at = 0;
    for (int g = 0; g < build.items; ++g)
        for (int k = 0; k < categoriesOf(build, g); ++k)
            for (int j = 0; j < G; ++j) out.at(g, k, j) = values[at++];
    fit = std::move(out);
    return 1;
}

namespace {

// A column number of a fit group: digits only, at most nine of them.
bool columnNumber(const std::string& s, long long& value) {
    if (s.empty() || s.size() > 9) return false;
    value = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

}  // namespace

int parseFitGroups(const MString& text, int G, Matrix& groups, std::vector<MString>& texts, Shell& shell) {
    std::vector<std::vector<long long>> lists;
    texts.clear();
    const std::string all = text.str();
    std::size_t start = 0;
    while (true) {
        const std::size_t colon = all.find(':', start);
        const std::string groupText = all.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        std::vector<long long> numbers;
        std::size_t pieceStart = 0;
        while (true) {
            const std::size_t comma = groupText.find(',', pieceStart);
            std::string piece = groupText.substr(pieceStart, comma == std::string::npos ? std::string::npos : comma - pieceStart);
            piece.erase(std::remove(piece.begin(), piece.end(), ' '), piece.end());
            if (!piece.empty()) {
                const std::size_t dash = piece.find('-');
                long long lo = 0, hi = 0;
                if (dash == std::string::npos) {
                    if (!columnNumber(piece, lo)) {
                        shell.errorReport("Error in fit test");
                        return -1;
                    }
                    hi = lo;
                } else {
                    if (!columnNumber(piece.substr(0, dash), lo)) {
                        shell.errorReport("Error in fit test");
                        return -1;
                    }
                    const std::string end = piece.substr(dash + 1);
                    if (end.empty()) {
                        shell.errorReport(" Column range incorrect: end range not found");
                        return -1;
                    }
                    if (!columnNumber(end, hi)) {
                        shell.errorReport("Error in fit test");
                        return -1;
                    }
                    if (lo > hi) {
                        shell.errorReport("Column range incorrect - 1st number > 2nd number");
                        return -1;
                    }
                }
                if (static_cast<long long>(numbers.size()) + (hi - lo + 1) > G) {
                    shell.errorReport("Too many parameters in list");
                    return -1;
                }
                for (long long n = lo; n <= hi; ++n) numbers.push_back(n);
            }
            if (comma == std::string::npos) break;
            pieceStart = comma + 1;
        }
        lists.push_back(std::move(numbers));
        texts.push_back(MString(groupText).trim());
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    for (const std::vector<long long>& numbers : lists) {
        bool positive = false;
        for (long long n : numbers) {
            if (n > G) {
                shell.errorReport("Error in fit test");
                return -1;
            }
            if (n > 0) positive = true;
        }
        if (!positive) {
            shell.errorReport("Error in fit test");
            return -1;
        }
    }
    groups = Matrix(std::max(1, G), static_cast<int>(lists.size()));
    for (std::size_t j = 0; j < lists.size(); ++j)
        for (std::size_t r = 0; r < lists[j].size(); ++r)
            groups[static_cast<int>(r)][static_cast<int>(j)] = static_cast<double>(lists[j][r]);
    return 1;
}

void CollapseF(FitMatrix& fit, const Matrix& groups) {
    FitMatrix out;
    out.reset(fit.items, fit.maxCat, groups.columns());
    for (int g = 0; g < fit.items; ++g)
        for (int k = 0; k < fit.maxCat; ++k)
            for (int j = 0; j < groups.columns(); ++j) {
                double s = 0.0;
                for (int r = 0; r < groups.rows(); ++r) {
                    const double c = groups[r][j];
                    if (c < 1.0 || c > fit.G) continue;
                    s += fit.at(g, k, static_cast<int>(c) - 1);
                }
                out.at(g, k, j) = static_cast<float>(s);
            }
    fit = std::move(out);
}

std::vector<int> itemsPerGroup(const FitMatrix& fit) {
    std::vector<int> counts(static_cast<std::size_t>(fit.G), 0);
    for (int g = 0; g < fit.items; ++g)
        for (int j = 0; j < fit.G; ++j)
            for (int k = 0; k < fit.maxCat; ++k)
                if (fit.at(g, k, j) != 0.0f) {
                    ++counts[static_cast<std::size_t>(j)];
                    break;
                }
    return counts;
}

FitAccumulator::FitAccumulator(const FitMatrix& fit, const std::vector<std::int32_t>& ncat)
    : fit_(fit), ncat_(ncat), items_(itemsPerGroup(fit)) {
    const int G = fit.G;
    itemGroups_.assign(static_cast<std::size_t>(fit.items), {});
    for (int g = 0; g < fit.items; ++g)
        for (int j = 0; j < G; ++j)
            for (int k = 0; k < fit.maxCat; ++k)
                if (fit.at(g, k, j) != 0.0f) {
                    itemGroups_[static_cast<std::size_t>(g)].push_back(j);
                    break;
                }
    caseSums_.assign(static_cast<std::size_t>(G), {});
    touched_.assign(static_cast<std::size_t>(G), 0);
    sums.assign(static_cast<std::size_t>(G), {});
}

void FitAccumulator::startRepetition() { sums.assign(static_cast<std::size_t>(fit_.G), {}); }

bool FitAccumulator::addCase(int m, const std::int32_t* itemNo, const std::int32_t* rsp,
                             const std::vector<double>& probabilities, double w, double& negativeVariance) {
    // Items without a coefficient in a group add nothing to its sums, so
    // only the groups the case's items reach are visited.
    const int maxCat = fit_.maxCat;
    touchedList_.clear();
    for (int r = 0; r < m; ++r) {
        const int i = itemNo[r], x = rsp[r];
        if (i < 0 || i >= fit_.items) continue;
        const int ncat = std::min<int>(ncat_[static_cast<std::size_t>(i)], maxCat);
        const double* p = probabilities.data() + static_cast<std::size_t>(r) * maxCat;
        for (int j : itemGroups_[static_cast<std::size_t>(i)]) {
            CaseSums& c = caseSums_[static_cast<std::size_t>(j)];
            if (!touched_[static_cast<std::size_t>(j)]) {
                touched_[static_cast<std::size_t>(j)] = 1;
                touchedList_.push_back(j);
                c = CaseSums{};
            }
            double e = 0.0;
            for (int k = 0; k < ncat; ++k) e += p[k] * w * fit_.at(i, k, j);
            // Central moments as sums of non-negative terms: the variance
            // cannot come out below zero by cancellation.
            double v = 0.0, m4 = 0.0;
            for (int k = 0; k < ncat; ++k) {
                const double d = w * fit_.at(i, k, j) - e;
                v += p[k] * d * d;
                m4 += p[k] * d * d * d * d;
            }
            c.x += (x >= 0 && x < maxCat) ? w * fit_.at(i, x, j) : 0.0;
            c.E += e;
            c.V += v;
            c.V2 += v * v;
            c.M += m4;
            c.D += 1;
        }
    }
    bool ok = true;
    for (int j : touchedList_) {
        touched_[static_cast<std::size_t>(j)] = 0;
        if (!ok) continue;
        const CaseSums& c = caseSums_[static_cast<std::size_t>(j)];
        FitSums& s = sums[static_cast<std::size_t>(j)];
        const double W = c.V;
        // Fourth moment of the sum of independent centred scores.
        const double K = c.M + 3.0 * (W * W - c.V2);
        const double r = c.x - c.E;
        if (W < 0.0) {
            negativeVariance = W;
            ok = false;
            continue;
        }
        s.r2 += r * r;
        s.W += W;
        s.KW += K - W * W;
        if (W > 0.0) {
            s.z2 += r * r / W;
            s.N += 1.0;
        }
        const int I = items_[static_cast<std::size_t>(j)];
        if (I > 0) s.nu += std::min(1.0, static_cast<double>(c.D) / I);
    }
    return ok;
}

void FitTotals::addRepetition(const std::vector<FitSums>& sums) {
    if (values.size() != sums.size()) values.assign(sums.size(), {});
    for (std::size_t j = 0; j < sums.size(); ++j) {
        const FitSums& s = sums[j];
        const double V = s.r2 / s.W;
        const double q = std::sqrt(s.KW) / s.W;
        const double wt = (std::cbrt(V) - 1.0) * (3.0 / q) + q / 3.0;
        const double U = s.z2 / s.N;
        const double se = std::sqrt(2.0 / s.N);
        Values& t = values[j];
        t.U += U;
        t.seU += se;
        t.V += V;
        t.seV += q;
        t.tV += wt;
    }
    ++repetitions;
}

std::vector<FitResult> FitTotals::results(const std::vector<FitSums>& last) const {
    std::vector<FitResult> out(values.size());
    const double n = repetitions > 0 ? repetitions : 1;
    for (std::size_t j = 0; j < values.size(); ++j) {
        const Values& t = values[j];
        FitResult& r = out[j];
        r.unweightedMeanSquare = t.U / n;
        const double seU = t.seU / n, seV = t.seV / n;
        r.unweightedVariance = seU * seU;
        r.weightedMeanSquare = t.V / n;
        r.weightedVariance = seV * seV;
        r.weightedT = t.tV / n;
        // Wilson-Hilferty: the cube root of a mean square is nearly normal.
        const double nu = j < last.size() ? last[j].nu : 0.0;
        const double c = 2.0 / (9.0 * nu);
        r.unweightedT = (std::cbrt(r.unweightedMeanSquare) - 1.0 + c) / std::sqrt(c);
    }
    return out;
}

int marginalFit(Session& session, const FitMatrix& fit, std::vector<FitResult>& results) {
    Workspace& ws = session.ws;
    EstimationState& est = ws.est;
    EstimationWork work;
    if (prepareCaseWork(session, work, EstimationMethod::MonteCarlo) != 1) return -1;
    if (fit.items != work.I || fit.maxCat != work.maxCat) {
        session.errorReport("The fit matrix does not match the model");
        return -1;
    }
    const int R = work.R, D = work.D, maxCat = work.maxCat;
    Matrix nodes;
    if (monteCarloPosteriorNodes(session, work, std::max(1, ws.settings.f_nodes), nodes) != 1) return -1;
    const int Q = work.Q;
    const float h = 0.0f;  // Monte Carlo nodes have no spacing

    // Per chunk: the cases' cumulative posteriors and drawn nodes, and the
    // sums of their contributions, added to the repetition's in chunk order.
    constexpr int kChunk = 64;
    struct Slot {
        explicit Slot(const FitMatrix& fit, const std::vector<std::int32_t>& ncat) : accumulator(fit, ncat) {}
        FitAccumulator accumulator;
        std::vector<double> likelihood, posterior, scratch, cumulative, mean, theta, probabilities;
        std::vector<char> counted, ok;
        std::vector<int> chosen;
        int negativeCase = -1;
        double negative = 0.0;
    };
    std::vector<Slot> slots;
    const int slotCount = casePassSlots(session);
    slots.reserve(static_cast<std::size_t>(slotCount));
    for (int s = 0; s < slotCount; ++s) {
        Slot& slot = slots.emplace_back(fit, work.ncat);
        slot.likelihood.resize(static_cast<std::size_t>(Q));
        slot.posterior.resize(static_cast<std::size_t>(Q));
        slot.scratch.resize(R >= 2 ? 2 * static_cast<std::size_t>(Q) : 0);
        slot.cumulative.resize(static_cast<std::size_t>(kChunk) * Q);
        slot.mean.resize(static_cast<std::size_t>(kChunk) * D);
        slot.theta.resize(static_cast<std::size_t>(D));
        slot.counted.resize(kChunk);
        slot.ok.resize(kChunk);
        slot.chosen.resize(kChunk);
    }

    FitTotals totals;
    std::vector<FitSums> sums;
    const int draws = std::max(1, ws.settings.fitdraws);
    const long long N = ws.data.passes.cases;
    const long long total = N * draws;
    long long done = 0;
    Stopwatch statusClock;
    auto weightOf = [&](int caseNumber) {
        const double* rec = work.caseRecord(caseNumber);
        return rec ? rec[0] : 1.0;
    };
    CasePass pass;
    pass.chunkCases = kChunk;
    pass.workPerCase = meanResponses(session) * (3.0 * Q + 20.0 * maxCat);
    pass.polls = [&](int caseNumber) { return weightOf(caseNumber) != 0.0; };
    const auto posteriors = [&](int s, const CaseChunk& cases) {
        Slot& slot = at(slots, s);
        for (int c = 0; c < cases.count(); ++c) {
            const int n = cases.caseNumber(c);
            const double* rec = work.caseRecord(n);
            at(slot.counted, c) = weightOf(n) != 0.0;
            at(slot.ok, c) = false;
            if (!at(slot.counted, c)) continue;
            double* mean = slot.mean.data() + static_cast<std::size_t>(c) * D;
            regressionMean(est, rec, D, R, mean);
            double ll = 0.0;
            // A case whose likelihood vanishes at every node has no
            // posterior to draw from; it adds nothing.
            at(slot.ok, c) = casePosterior(work, cases.itemsOf(c), cases.categoriesOf(c),
                                           cases.responses(c), work.nodeWeights.data(), mean, h,
                                           slot.likelihood.data(), slot.posterior.data(),
                                           slot.scratch.data(), ll) == 1;
            if (at(slot.ok, c))
                cumulativeSums(slot.posterior.data(), Q,
                               slot.cumulative.data() + static_cast<std::size_t>(c) * Q);
        }
        return 1;
    };
    pass.stages.push_back({true, posteriors});
    // One node per case from the one uniform stream, case after case.
    const auto drawNodes = [&](int s, const CaseChunk& cases) {
        Slot& slot = at(slots, s);
        for (int c = 0; c < cases.count(); ++c)
            if (at(slot.ok, c))
                at(slot.chosen, c) =
                    drawFromCumulative(slot.cumulative.data() + static_cast<std::size_t>(c) * Q,
                                       Q, session.uniform.draw());
        return 1;
    };
    pass.stages.push_back({false, drawNodes});
    const auto contributions = [&](int s, const CaseChunk& cases) {
        Slot& slot = at(slots, s);
        slot.accumulator.startRepetition();
        slot.negativeCase = -1;
        for (int c = 0; c < cases.count(); ++c) {
            if (!at(slot.ok, c)) continue;
            const int n = cases.caseNumber(c), m = cases.responses(c);
            const std::int32_t* items = cases.itemsOf(c);
            const double* mean = slot.mean.data() + static_cast<std::size_t>(c) * D;
            for (int d = 0; d < D; ++d)
                at(slot.theta, d) = nodes[at(slot.chosen, c)][d] + (R >= 2 ? mean[d] : 0.0);
            slot.probabilities.assign(static_cast<std::size_t>(m) * maxCat, 0.0);
            for (int r = 0; r < m; ++r) {
                const int i = items[r];
                if (i < 0 || i >= work.I) continue;
                categoryProbabilities(work, i, slot.theta.data(),
                                      slot.probabilities.data() + static_cast<std::size_t>(r) * maxCat);
            }
            if (!slot.accumulator.addCase(m, items, cases.categoriesOf(c), slot.probabilities,
                                          weightOf(n) * est.weightFactor, slot.negative)) {
                slot.negativeCase = n;
                break;
            }
        }
        return 1;
    };
    pass.stages.push_back({true, contributions});
    const auto add = [&](int s, const CaseChunk& cases) {
        Slot& slot = at(slots, s);
        if (slot.negativeCase >= 0) {
            session.errorReport("Negative variance in fit for case:" +
                                itoMString(slot.negativeCase + 1));
            session.errorReport(printFormat("%10.5f", slot.negative));
            return -1;
        }
        for (std::size_t j = 0; j < sums.size(); ++j) {
            const FitSums& from = slot.accumulator.sums[j];
            FitSums& to = sums[j];
            to.r2 += from.r2;
            to.W += from.W;
            to.KW += from.KW;
            to.z2 += from.z2;
            to.N += from.N;
            to.nu += from.nu;
        }
        for (int c = 0; c < cases.count(); ++c) {
            if (!at(slot.counted, c)) continue;
            ++done;
            if (statusClock.seconds() > 1.0) {
                session.statusText(progressText("Fit: ", done, total), 0);
                statusClock.restart();
            }
        }
        return 1;
    };
    pass.stages.push_back({false, add});
    for (int repetition = 0; repetition < draws; ++repetition) {
        sums.assign(static_cast<std::size_t>(fit.G), {});
        if (runCasePass(session, work, pass) != 1) return -1;
        totals.addRepetition(sums);
    }
    results = totals.results(sums);
    if (calcYYinv(session, work) != 1) return -1;
    return 1;
}

int jmlFit(Session& session, const FitMatrix& fit, std::vector<FitResult>& results) {
    Workspace& ws = session.ws;
    const EstimationState& est = ws.est;
    EstimationWork work;
    if (prepareCaseWork(session, work, EstimationMethod::Jml) != 1) return -1;
    if (fit.items != work.I || fit.maxCat != work.maxCat) {
        session.errorReport("The fit matrix does not match the model");
        return -1;
    }
    CaseScoreRecords records;
    if (openCaseScores(session, records) != 1) return -1;
    const int maxCat = work.maxCat;
    FitAccumulator accumulator(fit, work.ncat);
    accumulator.startRepetition();
    const long long N = ws.data.passes.cases;
    long long done = 0;
    std::vector<double> probabilities;
    Stopwatch statusClock;
    const int visited = forEachCase(session, work, [&](int caseNumber, int m) {
        const double* rec = work.caseRecord(caseNumber);
        const double weight = rec ? rec[0] : 1.0;
        // A case without an estimate (its iterations failed) has no residuals.
        const double* theta = records.valid(caseNumber) ? records.record(caseNumber) + records.jmlAt() : nullptr;
        bool estimated = theta != nullptr;
        for (int d = 0; estimated && d < records.D; ++d) estimated = std::isfinite(theta[d]);
        if (weight != 0.0 && estimated) {
            if (session.pollForStop()) return -1;
            // Each case at its own estimate: no draw.
            probabilities.assign(static_cast<std::size_t>(m) * maxCat, 0.0);
            for (int r = 0; r < m; ++r) {
                const int i = work.itemNo[static_cast<std::size_t>(r)];
                if (i < 0 || i >= work.I) continue;
                categoryProbabilities(work, i, theta, probabilities.data() + static_cast<std::size_t>(r) * maxCat);
            }
            double negative = 0.0;
            if (!accumulator.addCase(m, work.itemNo.data(), work.rsp.data(), probabilities, weight * est.weightFactor,
                                     negative)) {
                session.errorReport("Negative variance in fit for case:" + itoMString(caseNumber + 1));
                session.errorReport(printFormat("%10.5f", negative));
                return -1;
            }
        }
        ++done;
        if (statusClock.seconds() > 1.0) {
            session.statusText("Fit: " + itoMString(N > 0 ? 100 * done / N : 100) + "%", 0);
            statusClock.restart();
        }
        return 1;
    });
    if (visited != 1) return -1;
    FitTotals totals;
    totals.addRepetition(accumulator.sums);
    results = totals.results(accumulator.sums);
    return 1;
}

std::vector<MString> fitDrawsNote(const Workspace& ws) {
    const EstimationState& est = ws.est;
    if (est.method == EstimationMethod::Jml) return {};
    const int draws = est.fitDraws > 0 ? est.fitDraws : std::max(1, ws.settings.fitdraws);
    // The Monte Carlo part of a mean square falls as 1/sqrt(draws). With one
    // draw per case it is about one standard error of an unweighted mean
    // square (the verbal aggression items: 0.9 of it on average over eight
    // seeds) and about half of one for a weighted mean square.
    const double spread = 1.0 / std::sqrt(static_cast<double>(draws));
    const MString count = itoMString(draws);
    return {"Fit from " + count + (draws == 1 ? " draw" : " draws") + " per case (fitdraws=" + count +
                "): another seed moves an unweighted MNSQ by about",
            dtoMString(spread, "%4.2f").trim() + (draws == 1 ? " standard error" : " standard errors") +
                " (1/sqrt(fitdraws)), a weighted one by about half that" +
                (draws < kSteadyFitDraws ? MString("; raise fitdraws to steady them") : MString())};
}

std::vector<MString> fitTableLines(const Workspace& ws, const std::vector<FitResult>& results, const MString& fileName,
                                   const MString& dateText) {
    const int W = 90;
    std::vector<MString> lines;
    lines.push_back(MString::repeat('=', W));
    for (const MString& l : titleLines(ws.title, dateText, W)) lines.push_back(l);
    lines.push_back("FIT ESTIMATES USING DESIGN MATRIX:");
    lines.push_back(fileName + (ws.est.method == EstimationMethod::Jml ? ": JML Method" : ""));
    for (const MString& l : fitDrawsNote(ws)) lines.push_back(l);
    lines.push_back(MString::repeat('=', W));
    MString line(W);
    line.centre("UNWEIGHTED FIT", 24, 44);
    line.centre("WEIGHTED FIT", 50, 75);
    lines.push_back(line);
    line = MString(W);
    line.centre("--------------------------", 24, 44);
    line.centre("--------------------------", 50, 75);
    lines.push_back(line);
    line = MString(W);
    line.overlay("Statistic", 0);
    line.centre("MNSQ", 21, 26);
    line.centre("CI", 32, 37);
    line.centre("T", 41, 46);
    line.centre("MNSQ", 50, 55);
    line.centre("CI", 60, 65);
    line.centre("T", 69, 74);
    lines.push_back(line);
    lines.push_back(MString::repeat('=', W));
    for (std::size_t k = 0; k < results.size(); ++k) {
        const FitResult& r = results[k];
        MString label = labelLookup(ws, MString(), kLabelFit, itoMString(static_cast<long long>(k) + 1));
        if (label.length() >= 12) label = label.mid(0, 11) + "..";
        line = MString(W);
        line.overlay(label, 0);
        // A group without information has no finite statistics: "NA"
        // stands in for them, whatever sign the platform gives a NaN.
        auto number = [](double v, const char* format, int width) {
            return std::isnan(v) ? MString("NA").rightJustify(width) : dtoMString(v, format);
        };
        auto interval = [&](double meanSquare, double variance, double t, int at) {
            // Without a mean square its interval is not known either.
            const double se = std::isnan(meanSquare) ? meanSquare : std::sqrt(variance);
            line.overlay(number(meanSquare, "%6.3f", 6), at);
            line.overlay("(", at + 7);
            line.overlay(number(std::isnan(se) ? se : std::max(0.0, 1.0 - 1.96 * se), "%5.3f", 5), at + 8);
            line.overlay(",", at + 13);
            line.overlay(number(1.0 + 1.96 * se, "%5.3f", 5), at + 14);
            line.overlay(")", at + 19);
            line.overlay(number(t, "%6.3f", 6), at + 21);
        };
        interval(r.unweightedMeanSquare, r.unweightedVariance, r.unweightedT, 20);
        interval(r.weightedMeanSquare, r.weightedVariance, r.weightedT, 48);
        lines.push_back(line);
    }
    lines.push_back(MString::repeat('=', W));
    return lines;
}

int fitDriver(Session& session, const MString& text, int mode, bool reportFailure) {
    Workspace& ws = session.ws;
    EstimationState& est = ws.est;
    const MString trimmed = text.trim();
    SplitStatement split;
    if (!trimmed.isEmpty()) split = splitArgumentsIn(trimmed);
    if (!est.estimated) {
        session.errorReport("Fit calculation not available, as a model has not yet been estimated");
        return -1;
    }
    session.statusText("Calculating fit statistics" + session.lineEnd, 0);

    FitMatrix fit;
    const MString fileName = split.file.trim();
    if (mode == 1) {
        fit = designFitMatrix(ws.build, est.parameters());
    } else if (mode == 3 && !fileName.isEmpty()) {
        if (readFitMatrix(fileName, ws.build, fit, session) != 1) return -1;
    } else {
        fit = layoutFitMatrix(parameterLayoutGroups(ws.model, ws.build, est.keptParameters), ws.build);
    }
    const MString arguments = split.arguments.trim();
    std::vector<MString> groupTexts;
    Matrix groups;
    if (!arguments.isEmpty() && parseFitGroups(arguments, fit.G, groups, groupTexts, session) != 1) return -1;
    // The rows of this fit are not the groups of an earlier one.
    ws.labels.withdrawFitGroupLabels();
    if (!arguments.isEmpty()) {
        for (std::size_t k = 0; k < groupTexts.size(); ++k) {
            const MString code = itoMString(static_cast<long long>(k) + 1);
            storeLabel(ws, kLabelFit, 0, code, groupTexts[k]);
            ws.labels.fitGroupLabels.emplace_back(code, groupTexts[k]);
        }
        CollapseF(fit, groups);
    }

    auto failed = [&]() {
        if (reportFailure) session.errorReport("Fit computation has failed.");
        est.options.fit = false;
        est.fitAvailable = false;
        return -1;
    };
    std::vector<FitResult> results;
    if (est.method == EstimationMethod::Jml) {
        if (jmlFit(session, fit, results) != 1) return failed();
    } else {
        const EstimationMethod savedMethod = est.method;
        const std::int32_t savedQ = est.nodeCount;
        est.method = EstimationMethod::MonteCarlo;
        const int status = marginalFit(session, fit, results);
        est.method = savedMethod;
        est.nodeCount = savedQ;
        if (status != 1) return failed();
    }
    for (std::size_t k = 0; k < results.size(); ++k)
        results[k].label = labelLookup(ws, MString(), kLabelFit, itoMString(static_cast<long long>(k) + 1));
    est.fit = std::move(results);
    est.fitDraws = est.method == EstimationMethod::Jml ? 0 : std::max(1, ws.settings.fitdraws);
    if (mode == 3) {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        ReportWriter out(session);
        out.lines(fitTableLines(ws, est.fit, fileName, reportDate(local)));
    }
    est.options.fit = mode != 3;
    est.fitAvailable = mode != 3;
    return 1;
}

int fitCommand(Session& session, const MString& arguments) { return fitDriver(session, arguments, 3, true); }

// The estimation driver reports the failure itself.
int itemFitAfterEstimation(Session& session, bool importedDesign) {
    return fitDriver(session, MString(), importedDesign ? 1 : 2, false);
}

}  // namespace ordena
