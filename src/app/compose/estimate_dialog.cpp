#include "app/compose/estimate_dialog.h"

#include <vector>

#include "app/compose/dialog_fields.h"
#include "estimation/estimate_command.h"

namespace ordena {

namespace {

EstimateMethodChoice choiceOf(EstimationMethod method) {
    switch (method) {
        case EstimationMethod::Quadrature:
            return EstimateMethodChoice::BockAitken;
        case EstimationMethod::MonteCarlo:
            return EstimateMethodChoice::MonteCarlo;
        case EstimationMethod::Jml:
            return EstimateMethodChoice::Jml;
        case EstimationMethod::Gauss:
        case EstimationMethod::Unset:
            break;
    }
    return EstimateMethodChoice::Gauss;
}

const char* methodWord(EstimateMethodChoice method) {
    switch (method) {
        case EstimateMethodChoice::BockAitken:
            return "quadrature";
        case EstimateMethodChoice::MonteCarlo:
            return "montecarlo";
        case EstimateMethodChoice::Jml:
            return "jml";
        case EstimateMethodChoice::Gauss:
            break;
    }
    return "gauss";
}

const char* stdErrWord(StdErrMode mode) {
    switch (mode) {
        case StdErrMode::Full:
            return "full";
        case StdErrMode::None:
            return "none";
        case StdErrMode::Quick:
            break;
    }
    return "quick";
}

}  // namespace

EstimateFields estimateFields(const EstimateOptions& o) {
    EstimateFields f;
    f.method = choiceOf(o.method);
    // The estimate in force, so that the dialog left as it opened composes
    // it again: its nodes (or the method's default when it gave none), its
    // reals with the digits they need, its fit and case statistics.
    f.nodes = itoMString(o.nodes > 0 ? o.nodes : defaultEstimateNodes(f.method));
    f.minNode = realFieldText(o.minNode);
    f.maxNode = realFieldText(o.maxNode);
    f.iterations = itoMString(o.iterations);
    f.convergence = realFieldText(o.convergence);
    f.devianceChange = realFieldText(o.devianceChange);
    f.alpha = realFieldText(o.alpha);
    f.distribution = o.distribution;
    f.stdErr = o.stdErr;
    f.fit = o.fit;
    f.abilities = o.abilities;
    // A method that has no latent distribution to choose shows the normal one.
    if (!estimateEnabled(f.method).distribution) f.distribution = Distribution::Normal;
    return f;
}

EstimateEnabled estimateEnabled(EstimateMethodChoice method) {
    EstimateEnabled e;
    switch (method) {
        case EstimateMethodChoice::BockAitken:
            break;
        case EstimateMethodChoice::Gauss:
        case EstimateMethodChoice::MonteCarlo:
            e.minMaxNode = false;
            e.distribution = false;
            break;
        case EstimateMethodChoice::Jml:
            e.nodes = false;
            e.minMaxNode = false;
            e.devianceChange = false;
            e.distribution = false;
            e.stdErr = false;
            e.fit = false;
            e.abilities = false;
            break;
    }
    return e;
}

int defaultEstimateNodes(EstimateMethodChoice method) {
    return method == EstimateMethodChoice::MonteCarlo || method == EstimateMethodChoice::Jml ? 1000 : 15;
}

void chooseEstimateMethod(EstimateFields& f, EstimateMethodChoice method) {
    f.method = method;
    switch (method) {
        case EstimateMethodChoice::Gauss:
        case EstimateMethodChoice::BockAitken:
        case EstimateMethodChoice::MonteCarlo:
            f.nodes = itoMString(defaultEstimateNodes(method));
            if (method != EstimateMethodChoice::BockAitken) f.distribution = Distribution::Normal;
            break;
        case EstimateMethodChoice::Jml:
            // Joint maximum likelihood always gives fit and case estimates.
            f.fit = true;
            f.abilities = true;
            break;
    }
}

void chooseEstimateDistribution(EstimateFields& f, Distribution distribution) {
    f.distribution = distribution;
    if (distribution == Distribution::Normal) {
        f.stdErr = StdErrMode::Quick;
    } else {
        // A discrete distribution is estimated over a Bock/Aitken grid, without errors.
        if (f.method != EstimateMethodChoice::BockAitken) chooseEstimateMethod(f, EstimateMethodChoice::BockAitken);
        f.stdErr = StdErrMode::None;
    }
}

MString composeEstimate(const EstimateFields& f) {
    const EstimateOptions defaults;
    const EstimateEnabled on = estimateEnabled(f.method);
    const OptionTable<EstimateOptions>& table = estimateOptionTable();
    std::vector<MString> items;
    auto integer = [&](bool enabled, const char* option, const MString& field, int byDefault) {
        const MString text = fieldText(field);
        if (enabled && text.toInt() != byDefault) items.push_back(table.dialogText(option) + text);
    };
    auto real = [&](bool enabled, const char* option, const MString& field, double byDefault) {
        const MString text = fieldText(field);
        if (enabled && text.toDouble() != byDefault) items.push_back(table.dialogText(option) + text);
    };
    auto word = [&](bool enabled, const char* option, const char* value) {
        if (enabled) items.push_back(table.dialogText(option) + value);
    };
    integer(on.nodes, "nodes", f.nodes, defaultEstimateNodes(f.method));
    real(on.minMaxNode, "minnode", f.minNode, defaults.minNode);
    real(on.minMaxNode, "maxnode", f.maxNode, defaults.maxNode);
    integer(true, "iterations", f.iterations, defaults.iterations);
    real(true, "convergence", f.convergence, defaults.convergence);
    real(on.devianceChange, "deviancechange", f.devianceChange, defaults.devianceChange);
    real(true, "alpha", f.alpha, defaults.alpha);
    word(on.stdErr && f.stdErr != defaults.stdErr, "stderr", stdErrWord(f.stdErr));
    // The Gauss-Hermite choice stands for a statement without a method, which
    // chooses Bock/Aitken quadrature by itself when there are regressors.
    word(f.method != EstimateMethodChoice::Gauss, "method", methodWord(f.method));
    word(on.distribution && f.distribution != defaults.distribution, "distribution",
         f.distribution == Distribution::Discrete ? "discrete" : "normal");
    word(on.fit && f.fit != defaults.fit, "fit", f.fit ? "yes" : "no");
    word(on.abilities && f.abilities != defaults.abilities, "abilities", f.abilities ? "yes" : "no");
    if (items.empty()) return "Estimate";
    return "Estimate ! " + joinTexts(items, ", ");
}

}  // namespace ordena
