#include "estimation/estimate_command.h"

#include <algorithm>
#include <string>

#include "command/option_table.h"
#include "command/parse.h"
#include "command/session.h"
#include "estimation/driver.h"
#include "estimation/jml.h"
#include "model/model_builder.h"

namespace ordena {

const OptionTable<EstimateOptions>& estimateOptionTable() {
    using V = const OptionValue&;
    using O = EstimateOptions&;
    static const OptionTable<EstimateOptions> table(
        {"estimate", "Error in estimate option", " No option word found or incorrect option word in estimate"},
        {
            numberOption("convergence", " convergence criterion not a number", &EstimateOptions::convergence, "conv"),
            {"nodes", OptionKind::Whole, " number of nodes not a number",
             [](V v, O o) {
                 if (!v.text.isNumber()) return v.refuse();
                 const double n = v.text.toDouble();
                 if (n < 2.0) return v.refuse(" the number of nodes must be one or more");
                 o.nodes = n > 2.0e9 ? 2000000000 : static_cast<std::int32_t>(n);
                 return 1;
             }},
            {"method", OptionKind::Choice, "Estimation method incorrect",
             [](V v, O o) {
                 static const EstimationMethod kMethods[] = {EstimationMethod::Jml, EstimationMethod::Quadrature,
                                                             EstimationMethod::MonteCarlo, EstimationMethod::Gauss};
                 const int k = choiceOf(v.lower(), {"jml", "quadrature", "montecarlo", "gauss"});
                 if (k < 0) return v.refuse();
                 o.method = kMethods[k];
                 return 1;
             }},
            {"plausible", OptionKind::File, "Can't create the plausible value file",
             [](V v, O o) {
                 if (!confirmOverwrite(v.session, v.text)) return v.refuse();
                 o.plausibleFile = v.text;
                 return 1;
             }},
            {"iterations", OptionKind::Whole, " Number of iterations is not a number",
             [](V v, O o) {
                 if (!v.text.isNumber()) return v.refuse();
                 const double n = v.text.toDouble();
                 o.iterations = n > 2.0e9 ? 2000000000 : (n < -2.0e9 ? -2000000000 : static_cast<std::int32_t>(n));
                 return 1;
             },
             "iter"},
            {"storage", OptionKind::Choice, "Storage request must be 'disk' or 'ram'",
             [](V v, O o) {
                 const int k = choiceOf(v.lower(), {"disk", "ram"});
                 if (k < 0) return v.refuse();
                 o.storage = k == 0 ? StorageMode::Disk : StorageMode::Ram;
                 return 1;
             }},
            {"minnode", OptionKind::Number, "Min_node is not a number",
             [](V v, O o) {
                 if (!v.text.isNumber()) return v.refuse();
                 o.minNode = static_cast<float>(v.text.toDouble());
                 return 1;
             }},
            {"maxnode", OptionKind::Number, "Max_node is not a number",
             [](V v, O o) {
                 if (!v.text.isNumber()) return v.refuse();
                 if (!(static_cast<float>(v.text.toDouble()) > o.minNode))
                     return v.refuse("Min_node must be less than max_node");
                 o.maxNode = static_cast<float>(v.text.toDouble());
                 return 1;
             }},
            {"stderr", OptionKind::Choice, "StdErr option value must be either 'none', 'full' or 'quick'",
             [](V v, O o) {
                 static const StdErrMode kModes[] = {StdErrMode::None, StdErrMode::None, StdErrMode::Full,
                                                     StdErrMode::Full, StdErrMode::Quick, StdErrMode::Quick};
                 const int k = choiceOf(v.lower(), {"none", "n", "full", "f", "quick", "q"});
                 if (k < 0) return v.refuse();
                 o.stdErr = kModes[k];
                 return 1;
             }},
            yesNoOption("fit", "Fit option value must be either 'yes' or 'no'", &EstimateOptions::fit),
            {"distribution", OptionKind::Choice,
             "The distribution option value must be either 'normal' or 'discrete'",
             [](V v, O o) {
                 const int k = choiceOf(v.lower(), {"discrete", "normal"});
                 if (k < 0) return v.refuse();
                 o.distribution = k == 0 ? Distribution::Discrete : Distribution::Normal;
                 return 1;
             }},
            numberOption("deviancechange", " deviance convergence criterion not a number",
                         &EstimateOptions::devianceChange, "deviance"),
            numberOption("alpha", " the alpha value not a number", &EstimateOptions::alpha),
            yesNoOption("abilities", "Abilities option value must be either 'yes' or 'no'",
                        &EstimateOptions::abilities),
        });
    return table;
}

int parseEstimateOptions(Session& session, const MString& text, EstimateOptions& options) {
    options = EstimateOptions{};
    if (text.trim().isEmpty()) return 1;
    if (estimateOptionTable().read(session, text, options) != 1) {
        options = EstimateOptions{};
        return -1;
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

OptionWords estimateOptionWords() { return estimateOptionTable().words(); }

}  // namespace ordena
