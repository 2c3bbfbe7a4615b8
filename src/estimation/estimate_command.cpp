#include "estimation/estimate_command.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "command/option_words.h"
#include "command/parse.h"
#include "command/session.h"
#include "estimation/driver.h"
#include "estimation/jml.h"
#include "model/model_builder.h"

namespace ordena {

namespace {

const char* const kOptionWords[] = {"convergence",  "nodes",          "method",  "plausible", "iterations",
                                    "storage",      "minnode",        "maxnode", "stderr",    "fit",
                                    "distribution", "deviancechange", "alpha",   "abilities"};
constexpr int kOptionCount = 14;

bool yesNo(const MString& v, bool& out) {
    if (v == "yes" || v == "y") {
        out = true;
        return true;
    }
    if (v == "no" || v == "n") {
        out = false;
        return true;
    }
    return false;
}

// One option; returns the refusal message, empty when accepted.
MString applyOption(Session& session, int word, const MString& raw, EstimateOptions& o) {
    const MString v = raw.lower();
    switch (word) {
        case 0:
            if (!raw.isNumber()) return " convergence criterion not a number";
            o.convergence = raw.toDouble();
            return MString();
        case 1: {
            if (!raw.isNumber()) return " number of nodes not a number";
            const double n = raw.toDouble();
            if (n < 2.0) return " the number of nodes must be one or more";
            o.nodes = n > 2.0e9 ? 2000000000 : static_cast<std::int32_t>(n);
            return MString();
        }
        case 2:
            if (v == "jml")
                o.method = EstimationMethod::Jml;
            else if (v == "quadrature")
                o.method = EstimationMethod::Quadrature;
            else if (v == "montecarlo")
                o.method = EstimationMethod::MonteCarlo;
            else if (v == "gauss")
                o.method = EstimationMethod::Gauss;
            else
                return "Estimation method incorrect";
            return MString();
        case 3:
            if (!confirmOverwrite(session, raw)) return "Can't create the plausible value file";
            o.plausibleFile = raw;
            return MString();
        case 4: {
            if (!raw.isNumber()) return " Number of iterations is not a number";
            const double n = raw.toDouble();
            o.iterations = n > 2.0e9 ? 2000000000 : (n < -2.0e9 ? -2000000000 : static_cast<std::int32_t>(n));
            return MString();
        }
        case 5:
            if (v == "disk")
                o.storage = StorageMode::Disk;
            else if (v == "ram")
                o.storage = StorageMode::Ram;
            else
                return "Storage request must be 'disk' or 'ram'";
            return MString();
        case 6:
            if (!raw.isNumber()) return "Min_node is not a number";
            o.minNode = static_cast<float>(raw.toDouble());
            return MString();
        case 7:
            if (!raw.isNumber()) return "Max_node is not a number";
            if (!(static_cast<float>(raw.toDouble()) > o.minNode)) return "Min_node must be less than max_node";
            o.maxNode = static_cast<float>(raw.toDouble());
            return MString();
        case 8:
            if (v == "none" || v == "n")
                o.stdErr = StdErrMode::None;
            else if (v == "full" || v == "f")
                o.stdErr = StdErrMode::Full;
            else if (v == "quick" || v == "q")
                o.stdErr = StdErrMode::Quick;
            else
                return "StdErr option value must be either 'none', 'full' or 'quick'";
            return MString();
        case 9:
            if (!yesNo(v, o.fit)) return "Fit option value must be either 'yes' or 'no'";
            return MString();
        case 10:
            if (v == "discrete")
                o.distribution = Distribution::Discrete;
            else if (v == "normal")
                o.distribution = Distribution::Normal;
            else
                return "The distribution option value must be either 'normal' or 'discrete'";
            return MString();
        case 11:
            if (!raw.isNumber()) return " deviance convergence criterion not a number";
            o.devianceChange = raw.toDouble();
            return MString();
        case 12:
            if (!raw.isNumber()) return " the alpha value not a number";
            o.alpha = raw.toDouble();
            return MString();
        case 13:
            if (!yesNo(v, o.abilities)) return "Abilities option value must be either 'yes' or 'no'";
            return MString();
        default:
            return "Error in estimate option";
    }
}

}  // namespace

int parseEstimateOptions(Session& session, const MString& text, EstimateOptions& options) {
    options = EstimateOptions{};
    if (text.trim().isEmpty()) return 1;
    int start = 0;
    const int n = text.length();
    while (start <= n) {
        int comma = start;
        while (comma < n && text[comma] != ',') ++comma;
        const MString piece = text.mid(start, comma - start);
        start = comma + 1;
        const int eq = piece.find('=');
        const MString word = (eq < 0 ? piece : piece.mid(0, eq)).trim();
        const MString value = eq < 0 ? MString() : piece.mid(eq + 1, piece.length() - eq - 1).trim();
        if (word.isEmpty()) {
            session.errorReport("Error in estimate option");
            options = EstimateOptions{};
            return -1;
        }
        const int index = matchKeyword(word, kOptionWords, kOptionCount);
        if (index < 0) {
            session.errorReport(" No option word found or incorrect option word in estimate");
            options = EstimateOptions{};
            return -1;
        }
        const MString refusal = applyOption(session, index, value, options);
        if (!refusal.isEmpty()) {
            session.errorReport(refusal);
            options = EstimateOptions{};
            return -1;
        }
        if (comma >= n) break;
    }
    return 1;
}

int estimateCommand(Session& session, const MString& text) {
    Workspace& ws = session.ws;
    EstimationState& est = ws.est;
    const SplitStatement parts = splitArguments(text);
    ws.files.outputRedirected = false;
    if (parseEstimateOptions(session, parts.options, est.options) != 1) return -1;
    EstimateOptions& o = est.options;
    const MString file = parts.file.trim();
    if (!file.isEmpty()) {
        if (ws.replication <= 1 && !confirmOverwrite(session, file)) return -1;
        ws.files.outputFileName = file;
        ws.files.outputRedirected = true;
    }
    if (o.nodes == 0)
        o.nodes = (o.method == EstimationMethod::MonteCarlo || o.method == EstimationMethod::Jml) ? 1000 : 15;

    est.estimated = 0;
    if (buildModel(session) != 1) return -1;
    const int D = ws.build.dimensions;
    const int R = std::max(1, ws.data.passes.caseInfoWidth - 1);
    if (D != 1 && o.stdErr == StdErrMode::Full) {
        session.errorReport("Full standard errors are not available with multidimensional models");
        return -1;
    }
    if (o.distribution != Distribution::Normal && o.stdErr == StdErrMode::Full) {
        session.errorReport("Full standard errors are only available with normal models");
        return -1;
    }
    EstimationMethod method = o.method;
    if (method == EstimationMethod::Jml) {
        est.method = method;
        const int result = jmlDriver(session);
        session.statusText(" ", 0);
        return result == 1 ? 1 : -1;
    }
    if (method == EstimationMethod::Gauss && R > 1) {
        session.errorReport("Gaussian quadrature is only available for models without regressors.");
        if (!session.yesNoQuestion("Use Bock/Aitken Quadrature?")) return -1;
        method = EstimationMethod::Quadrature;
    }
    // Free node weights need a fixed grid: Gauss-Hermite nodes move with the
    // population and their weights are the rule's, so a discrete
    // distribution resolves to Bock/Aitken quadrature.
    const bool discrete = o.distribution == Distribution::Discrete;
    if (method == EstimationMethod::Unset)
        method = R < 2 && !discrete ? EstimationMethod::Gauss : EstimationMethod::Quadrature;
    if (discrete) {
        if (R > 1) {
            session.errorReport("The discrete distribution is only available for models without regressors.");
            return -1;
        }
        if (method == EstimationMethod::MonteCarlo) {
            session.errorReport("Only Quadrature can be used with a discrete distribution.");
            return -1;
        }
        if (method == EstimationMethod::Gauss) {
            session.errorReport(
                "Gauss-Hermite quadrature cannot estimate a discrete distribution: use method=quadrature "
                "(Bock/Aitken)");
            return -1;
        }
        if (o.fit) {
            session.warningReport("Fit testing is not yet available with a discrete distribution");
            o.fit = false;
        }
    }
    if (method == EstimationMethod::MonteCarlo && o.stdErr == StdErrMode::Full) {
        o.stdErr = StdErrMode::Quick;
        session.warningReport(MString("Full standard errors are not available with Monte Carlo estimation.") +
                              " 'QUICK' errors will be estimated");
    }
    double q = o.nodes;
    if (method != EstimationMethod::MonteCarlo) {
        q = 1.0;
        for (int d = 0; d < D; ++d) q *= o.nodes;
    }
    if (q > 20000.0) {
        const MString count = q > 2.0e9 ? MString(std::to_string(static_cast<long long>(q > 9.0e18 ? 9.0e18 : q)))
                                        : itoMString(static_cast<long long>(q));
        if (!session.yesNoQuestion("Wow! Do you really wish to use " + count + " nodes?")) return -1;
        if (q > 2.0e9) {
            session.errorReport("Too many nodes for estimation");
            return -1;
        }
    }
    est.method = method;
    const int result = estimationDriver(session);
    session.statusText(" ", 0);
    return result == 1 ? 1 : -1;
}

OptionWords estimateOptionWords() { return {std::begin(kOptionWords), std::end(kOptionWords)}; }

}  // namespace ordena
