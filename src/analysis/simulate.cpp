#include "analysis/simulate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "analysis/generate.h"
#include "base/number_format.h"
#include "command/option_words.h"
#include "command/parse.h"
#include "command/reader.h"
#include "command/session.h"
#include "data/data_layout.h"
#include "report/export.h"

namespace ordena {

using namespace generate_options;

namespace {

const char* const kSimulateWords[27] = {
    "nitems",         "npersons", "maxscore",  "itemdist",    "abilitydist", "centre",     "center",
    "replications",   "filename", "keep",      "convergence", "nodes",       "method",     "plausible",
    "iterations",     "storage",  "minnode",   "maxnode",     "stderr",      "fit",        "distribution",
    "deviancechange", "alpha",    "condition", "regfile",     "scorefile",   "constraints"};
enum SimulateOption {
    kSimNitems = 0,
    kSimNpersons,
    kSimMaxscore,
    kSimItemdist,
    kSimAbilitydist,
    kSimCentre,
    kSimCenter,
    kSimReplications,
    kSimFilename,
    kSimKeep,
    kSimConvergence,
    kSimNodes,
    kSimMethod,
    kSimPlausible,
    kSimIterations,
    kSimStorage,
    kSimMinnode,
    kSimMaxnode,
    kSimStderr,
    kSimFit,
    kSimDistribution,
    kSimDeviancechange,
    kSimAlpha,
    kSimCondition,
    kSimRegfile,
    kSimScorefile,
    kSimConstraints
};

struct SimulationSettings {
    GenerationSettings generation;
    bool centreGiven = false;
    int replications = 1;
    MString prefix = "sim";
    bool keep = false;
    MString condition;
    MString constraint = "cases";
    double convergence = 0.0001, devianceChange = 0.0001, alpha = 0.0;
    double minNode = -6.0, maxNode = 6.0;
    int nodes = 0;   // 0: not given
    MString method;  // empty: not given
    MString plausible;
    int iterations = 1000;
    MString storage;  // empty: not given
    MString stdErr = "quick";
    bool fit = true;
    MString distribution = "normal";
};

// A number as a statement option, without losing digits to a fixed format.
MString numberText(double v) {
    std::string s = printFormat("%.10f", v).str();
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s == "-0" ? MString("0") : MString(s);
}

int applySimulateOption(Session& session, int which, const MString& value, SimulationSettings& s) {
    const MString v = value.lower();
    switch (which) {
        case kSimNitems:
            return applyGenerationOption(session, kNitems, value, s.generation);
        case kSimNpersons:
            return applyGenerationOption(session, kNpersons, value, s.generation);
        case kSimMaxscore:
            return applyGenerationOption(session, kMaxscore, value, s.generation);
        case kSimItemdist:
            return applyGenerationOption(session, kItemdist, value, s.generation);
        case kSimAbilitydist:
            return applyGenerationOption(session, kAbilitydist, value, s.generation);
        case kSimCentre:
        case kSimCenter:
            s.centreGiven = true;
            return applyGenerationOption(session, kCentre, value, s.generation);
        case kSimRegfile:
            return applyGenerationOption(session, kRegfile, value, s.generation);
        case kSimScorefile:
            return applyGenerationOption(session, kScorefile, value, s.generation);
        case kSimReplications:
            if (!wholeNumber(value, 1, 2.0e9, s.replications))
                return fail(session, " number of replications must be a positive integer");
            if (s.replications > 100000) return fail(session, "The number of replications must be at most 100000");
            return 1;
        case kSimFilename:
            s.prefix = value;
            return 1;
        case kSimKeep:
            if (!yesNo(value, s.keep)) return fail(session, "Keep option value must be either 'yes' or 'no'");
            return 1;
        case kSimConvergence:
            if (!value.isNumber()) return fail(session, " convergence criterion not a number");
            s.convergence = value.toDouble();
            return 1;
        case kSimNodes: {
            if (!value.isNumber()) return fail(session, " number of nodes not a number");
            const double n = value.toDouble();
            if (n < 2.0) return fail(session, " the number of nodes must be two or more");
            s.nodes = n > 2.0e9 ? 2000000000 : static_cast<int>(n);
            return 1;
        }
        case kSimMethod:
            if (v != "jml" && v != "quadrature" && v != "montecarlo" && v != "gauss")
                return fail(session, "integration method incorrect");
            s.method = v;
            return 1;
        case kSimPlausible:
            if (!confirmOverwrite(session, value)) return fail(session, "Can't create the plausible value file");
            s.plausible = value;
            return 1;
        case kSimIterations: {
            if (!value.isNumber()) return fail(session, " Number of iterations is not a number");
            const double n = value.toDouble();
            s.iterations = n > 2.0e9 ? 2000000000 : (n < -2.0e9 ? -2000000000 : static_cast<int>(n));
            return 1;
        }
        case kSimStorage:
            if (v != "disk" && v != "ram") return fail(session, "Storage request must be 'disk' or 'ram'");
            s.storage = v;
            return 1;
        case kSimMinnode:
            if (!value.isNumber()) return fail(session, "Min_node is not a number");
            s.minNode = static_cast<float>(value.toDouble());
            return 1;
        case kSimMaxnode:
            if (!value.isNumber()) return fail(session, "Max_node is not a number");
            if (!(static_cast<float>(value.toDouble()) > static_cast<float>(s.minNode)))
                return fail(session, "Min_node must be less than max_node");
            s.maxNode = static_cast<float>(value.toDouble());
            return 1;
        case kSimStderr:
            if (v == "none" || v == "n")
                s.stdErr = "none";
            else if (v == "full" || v == "f")
                s.stdErr = "full";
            else if (v == "quick" || v == "q")
                s.stdErr = "quick";
            else
                return fail(session, "StdErr option value must be either 'none', 'full' or 'quick'");
            return 1;
        case kSimFit:
            if (!yesNo(value, s.fit)) return fail(session, "Fit option value must be either 'yes' or 'no'");
            return 1;
        case kSimDistribution:
            if (v != "normal" && v != "discrete")
                return fail(session, "The distribution option value must be either 'normal' or 'discrete'");
            s.distribution = v;
            return 1;
        case kSimDeviancechange:
            if (!value.isNumber()) return fail(session, " deviance convergence criterion not a number");
            s.devianceChange = value.toDouble();
            return 1;
        case kSimAlpha:
            if (!value.isNumber()) return fail(session, " the alpha value not a number");
            s.alpha = value.toDouble();
            return 1;
        case kSimCondition:
            if (value.isEmpty()) return fail(session, "Condition value cannot be blank");
            s.condition = value;
            return 1;
        case kSimConstraints:
            if (v != "cases" && v != "items")
                return fail(session, "Constraiints option value must be either 'cases', or 'items'");
            s.constraint = v;
            return 1;
        default:
            return fail(session, "Error in simulate option");
    }
}

// A response code as generate writes it: one column, or two right-aligned.
MString codeText(int k, int width) {
    const MString text = itoMString(k).rightJustify(width);
    return text.find(' ') >= 0 ? "\"" + text + "\"" : text;
}

// The statements every replication runs, composed once.
struct ComposedStatements {
    MString generate, constraint, codes, format, regression, model, estimate;
    std::vector<MString> scores;
};

ComposedStatements compose(const SimulationSettings& s) {
    const GenerationSettings& g = s.generation;
    ComposedStatements c;
    MString counts;
    for (std::size_t d = 0; d < g.items.size(); ++d) counts += (d ? ":" : "") + itoMString(g.items[d]);
    c.generate = "generate ! nitems=" + counts + ",npersons=" + itoMString(g.persons) +
                 ",maxscore=" + itoMString(g.maxScore) + ",itemdist=" + g.itemText + ",abilitydist=" + g.abilityText;
    if (s.centreGiven) c.generate += MString(",centre=") + (g.centre ? "yes" : "no");
    if (g.regressionFile != "NULL" || !g.regressionVariables.empty()) c.generate += ",regfile=" + g.regressionText;
    if (g.scoreFile != "NULL") c.generate += ",scorefile=" + g.scoreFile;
    c.constraint = "set constraint=" + s.constraint;

    const int width = g.maxScore > 9 ? 2 : 1;
    c.codes = "codes " + codeText(0, width);
    for (int k = 1; k <= g.maxScore; ++k) c.codes += "," + codeText(k, width);

    const int I = g.itemCount();
    int column = I * width;
    c.format = "format responses 1-" + itoMString(column) + (width == 2 ? " (a2)" : "");
    const bool normal2 = g.abilityKind == GenerationSettings::kAbilityNormal2;
    if (normal2) {
        c.format += " group " + itoMString(column + 1) + "-" + itoMString(column + 10);
        column += 10;
    }
    MString regression;
    for (const MString& v : g.regressionVariables) {
        regression += (regression.isEmpty() ? "" : ",") + v;
        if (v == "group") continue;
        c.format += " " + v + " " + itoMString(column + 1) + "-" + itoMString(column + 10);
        column += 10;
    }
    if (!regression.isEmpty()) c.regression = "regression " + regression;
    c.model = "model item+item*step";

    c.estimate = "estimate ! convergence=" + numberText(s.convergence);
    if (s.nodes > 0) c.estimate += ",nodes=" + itoMString(s.nodes);
    if (!s.method.isEmpty()) c.estimate += ",method=" + s.method;
    c.estimate += ",iterations=" + itoMString(s.iterations) + ",minnode=" + numberText(s.minNode) +
                  ",maxnode=" + numberText(s.maxNode) + ",stderr=" + s.stdErr + ",fit=" + (s.fit ? "yes" : "no") +
                  ",distribution=" + s.distribution + ",deviancechange=" + numberText(s.devianceChange) +
                  ",alpha=" + numberText(s.alpha);
    if (!s.storage.isEmpty()) c.estimate += ",storage=" + s.storage;
    return c;
}

// The scores statements for the generating scoring vectors: one per run of
// consecutive items of one dimension scored alike.
std::vector<MString> scoreStatements(Session& session, const SimulationSettings& s, int& status) {
    const GenerationSettings& g = s.generation;
    GeneratedTables t;
    t.I = g.itemCount();
    t.M = g.maxScore;
    t.D = g.dimensions();
    for (int d = 0; d < t.D; ++d)
        for (int k = 0; k < g.items[static_cast<std::size_t>(d)]; ++k) t.dimensionOf.push_back(d);
    status = scoringVectors(session, g, t);
    if (status != 1) return {};
    const int width = g.maxScore > 9 ? 2 : 1;
    MString codes = "(";
    for (int k = 0; k <= t.M; ++k) codes += (k ? " " : "") + codeText(k, width);
    codes += ")";
    auto sameScoring = [&](int a, int b) {
        if (t.dimensionOf[static_cast<std::size_t>(a)] != t.dimensionOf[static_cast<std::size_t>(b)]) return false;
        for (int k = 0; k <= t.M; ++k)
            for (int d = 0; d < t.D; ++d)
                if (t.score(a, k, d) != t.score(b, k, d)) return false;
        return true;
    };
    std::vector<MString> statements;
    for (int first = 0; first < t.I;) {
        int last = first;
        while (last + 1 < t.I && sameScoring(first, last + 1)) ++last;
        MString text = "score " + codes;
        for (int d = 0; d < t.D; ++d) {
            text += " (";
            for (int k = 0; k <= t.M; ++k) text += (k ? " " : "") + numberText(t.score(first, k, d));
            text += ")";
        }
        text += " !item(" + itoMString(first + 1) + (last > first ? "-" + itoMString(last + 1) : MString()) + ")";
        statements.push_back(text);
        first = last + 1;
    }
    return statements;
}

// A file left by an earlier run: deleted after two yes answers.
void existingFileCheck(Session& session, const MString& name) {
    if (!fileExists(name)) return;
    session.warningReport("A file called " + name + " was found. " +
                          "Simulation jobs running in parallel should write to different files");
    if (session.yesNoQuestion("Delete the file?") &&
        session.yesNoQuestion("Are you sure the file should be deleted the file?"))
        std::remove(name.c_str());
}

// Appends the writer's records to the file, each after the condition and
// the replication number (and a kind word when given).
int appendRecords(Session& session, const MString& name, const MString& text, const SimulationSettings& s, int r,
                  const char* kind, const char* failure) {
    MString head = s.condition.isEmpty() ? MString() : s.condition + " ";
    head += printFormat("%5d", r);
    if (kind) head += printFormat("%5s", kind);
    std::string out;
    const std::string& all = text.str();
    std::size_t start = 0;
    while (start < all.size()) {
        std::size_t end = all.find('\n', start);
        end = end == std::string::npos ? all.size() : end + 1;
        out += head.str();
        out.append(all, start, end - start);
        start = end;
    }
    TextFile file;
    bool ok = name.str().find('\0') == std::string::npos && file.open(name.str(), "a");
    if (ok) {
        ok = file.write(MString(std::move(out)));
        ok = file.close() && ok;
    }
    if (!ok) return fail(session, failure);
    return 1;
}

int runReplications(Session& session, const SimulationSettings& s, const ComposedStatements& c,
                    const std::vector<MString>& scores) {
    Workspace& ws = session.ws;
    const MString& p = s.prefix;
    const MString pvFile = p + "pv.txt", mleFile = p + "mle.txt", wleFile = p + "wle.txt", eapFile = p + "eap.txt",
                  sumFile = p + "sum.txt", itnFile = p + "itn.txt", popFile = p + "pop.txt", iteFile = p + "ite.txt";
    for (int r = 1; r <= s.replications; ++r) {
        const MString suffix = (s.keep ? itoMString(r) : MString()) + ".txt";
        const MString itg = p + "itg" + suffix, abl = p + "abl" + suffix, dat = p + "dat" + suffix;
        session.statusText("Simulation Run: Replication " + itoMString(r), 0);
        ws.replication = r;
        // Score rules add to the earlier ones; every replication states its
        // own, so those of the last one must go.
        ws.data.scores.clear();
        ws.data.recodes.clear();
        std::vector<MString> statements = {c.generate + " >> " + dat + ", " + itg + ", " + abl, c.constraint,
                                           "datafile " + dat, c.codes, c.format};
        statements.insert(statements.end(), scores.begin(), scores.end());
        if (!c.regression.isEmpty()) statements.push_back(c.regression);
        statements.push_back(c.model);
        statements.push_back(c.estimate);
        statements.push_back("show !table=1 >> " + sumFile);
        // Joint maximum likelihood has neither posteriors nor a population model.
        const bool jml = s.method == "jml";
        if (!jml) {
            statements.push_back("show cases ! estimates=eap >> " + eapFile);
            statements.push_back("show cases ! estimates=latent >> " + pvFile);
        }
        statements.push_back("show cases ! estimates=mle >> " + mleFile);
        statements.push_back("show cases ! estimates=wle >> " + wleFile);
        statements.push_back("itanal !format=export >> " + itnFile);
        for (const MString& statement : statements)
            if (executeStatement(session, statement) != 1) return -1;
        if (appendRecords(session, iteFile, parameterFileText(ws, 1), s, r, nullptr,
                          "Attempt to write parameter file has failed") != 1)
            return -1;
        if (!jml) {
            if (appendRecords(session, popFile, regressionFileText(ws, 1), s, r, "reg",
                              "Attempt to write regression file has failed") != 1 ||
                appendRecords(session, popFile, covarianceFileText(ws, 1), s, r, "cov",
                              "Attempt to write covariance file has failed") != 1)
                return -1;
        }
    }
    return 1;
}

}  // namespace

int simulateCommand(Session& session, const MString& arguments) {
    SimulationSettings s;
    const SplitStatement split = splitArguments(arguments);
    if (split.options.trim().isEmpty()) return fail(session, "Simulate must have options");
    if (eachOption(session, split.options, kSimulateWords, 27, "simulate", "Error in simulate option",
                   [&](int which, const MString& value) { return applySimulateOption(session, which, value, s); }) != 1)
        return -1;
    if (checkGenerationSettings(session, s.generation) != 1 || checkDistributionValues(session, s.generation) != 1)
        return -1;
    int status = 1;
    const std::vector<MString> scores = scoreStatements(session, s, status);
    if (status != 1) return -1;
    const ComposedStatements c = compose(s);

    for (const char* suffix : {"pv.txt", "mle.txt", "wle.txt", "eap.txt", "sum.txt", "itn.txt", "pop.txt", "ite.txt"})
        existingFileCheck(session, s.prefix + suffix);
    for (int r = 1; r <= (s.keep ? s.replications : 1); ++r)
        for (const char* stem : {"itg", "abl", "dat"})
            existingFileCheck(session, s.prefix + stem + (s.keep ? itoMString(r) : MString()) + ".txt");

    // The reset clears the specification; the settings in force (the seed
    // among them) stay, so that a seed set before the study reproduces it.
    Workspace& ws = session.ws;
    const Settings settings = ws.settings;
    if (executeStatement(session, "reset") != 1) return -1;
    ws.settings = settings;
    if (settings.seed != 1) {
        session.uniform.setseed(settings.seed);
        session.normal.setseed(settings.seed);
        session.mvnormal.setseed(settings.seed);
    }
    status = runReplications(session, s, c, scores);
    ws.replication = -1;
    session.statusText(" ", 0);
    return status;
}

OptionWords simulateOptionWords() { return {std::begin(kSimulateWords), std::end(kSimulateWords)}; }

}  // namespace ordena
