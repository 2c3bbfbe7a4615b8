#include "analysis/simulate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "analysis/generate.h"
#include "base/number_format.h"
#include "command/option_table.h"
#include "command/parse.h"
#include "command/reader.h"
#include "command/session.h"
#include "data/data_layout.h"
#include "report/export.h"

namespace ordena {

namespace {

int fail(Session& session, const MString& message) {
    session.errorReport(message);
    return -1;
}


// A number as a statement option, without losing digits to a fixed format.
MString numberText(double v) {
    std::string s = printFormat("%.10f", v).str();
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s == "-0" ? MString("0") : MString(s);
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

const OptionTable<SimulationSettings>& simulateOptionTable() {
    using V = const OptionValue&;
    using S = SimulationSettings&;
    // The options of generate set the generation settings, as in generate.
    const OptionTable<GenerationSettings>& generate = generateOptionTable();
    auto generating = [&](const char* word) {
        const OptionRow<GenerationSettings>& row = generate.row(word);
        return OptionRow<SimulationSettings>{row.word, row.kind, row.refusal,
                                             [set = row.set](V v, S s) { return set(v, s.generation); }};
    };
    auto centre = [&](const char* word) {
        OptionRow<SimulationSettings> row = generating(word);
        row.set = [set = generate.row(word).set](V v, S s) {
            s.centreGiven = true;
            return set(v, s.generation);
        };
        return row;
    };
    static const OptionTable<SimulationSettings> table(
        {"simulate", "Error in simulate option", " No option word found or incorrect option word in simulate",
         "Error in simulate option"},
        {
            generating("nitems"),
            generating("npersons"),
            generating("maxscore"),
            generating("itemdist"),
            generating("abilitydist"),
            centre("centre"),
            centre("center"),
            {"replications", OptionKind::Whole, " number of replications must be a positive integer",
             [](V v, S s) {
                 if (!readWholeNumber(v.text, 1, 2.0e9, s.replications)) return v.refuse();
                 if (s.replications > 100000) return v.refuse("The number of replications must be at most 100000");
                 return 1;
             }},
            {"filename", OptionKind::Text, "",
             [](V v, S s) {
                 s.prefix = v.text;
                 return 1;
             }},
            yesNoOption("keep", "Keep option value must be either 'yes' or 'no'", &SimulationSettings::keep),
            numberOption("convergence", " convergence criterion not a number", &SimulationSettings::convergence),
            {"nodes", OptionKind::Whole, " number of nodes not a number",
             [](V v, S s) {
                 if (!v.text.isNumber()) return v.refuse();
                 const double n = v.text.toDouble();
                 if (n < 2.0) return v.refuse(" the number of nodes must be two or more");
                 s.nodes = n > 2.0e9 ? 2000000000 : static_cast<int>(n);
                 return 1;
             }},
            {"method", OptionKind::Choice, "integration method incorrect",
             [](V v, S s) {
                 if (choiceOf(v.lower(), {"jml", "quadrature", "montecarlo", "gauss"}) < 0) return v.refuse();
                 s.method = v.lower();
                 return 1;
             }},
            {"plausible", OptionKind::File, "Can't create the plausible value file",
             [](V v, S s) {
                 if (!confirmOverwrite(v.session, v.text)) return v.refuse();
                 s.plausible = v.text;
                 return 1;
             }},
            {"iterations", OptionKind::Whole, " Number of iterations is not a number",
             [](V v, S s) {
                 if (!v.text.isNumber()) return v.refuse();
                 const double n = v.text.toDouble();
                 s.iterations = n > 2.0e9 ? 2000000000 : (n < -2.0e9 ? -2000000000 : static_cast<int>(n));
                 return 1;
             }},
            {"storage", OptionKind::Choice, "Storage request must be 'disk' or 'ram'",
             [](V v, S s) {
                 if (choiceOf(v.lower(), {"disk", "ram"}) < 0) return v.refuse();
                 s.storage = v.lower();
                 return 1;
             }},
            {"minnode", OptionKind::Number, "Min_node is not a number",
             [](V v, S s) {
                 if (!v.text.isNumber()) return v.refuse();
                 s.minNode = static_cast<float>(v.text.toDouble());
                 return 1;
             }},
            {"maxnode", OptionKind::Number, "Max_node is not a number",
             [](V v, S s) {
                 if (!v.text.isNumber()) return v.refuse();
                 if (!(static_cast<float>(v.text.toDouble()) > static_cast<float>(s.minNode)))
                     return v.refuse("Min_node must be less than max_node");
                 s.maxNode = static_cast<float>(v.text.toDouble());
                 return 1;
             }},
            {"stderr", OptionKind::Choice, "StdErr option value must be either 'none', 'full' or 'quick'",
             [](V v, S s) {
                 static const char* const kModes[] = {"none", "none", "full", "full", "quick", "quick"};
                 const int k = choiceOf(v.lower(), {"none", "n", "full", "f", "quick", "q"});
                 if (k < 0) return v.refuse();
                 s.stdErr = kModes[k];
                 return 1;
             }},
            yesNoOption("fit", "Fit option value must be either 'yes' or 'no'", &SimulationSettings::fit),
            {"distribution", OptionKind::Choice,
             "The distribution option value must be either 'normal' or 'discrete'",
             [](V v, S s) {
                 if (choiceOf(v.lower(), {"normal", "discrete"}) < 0) return v.refuse();
                 s.distribution = v.lower();
                 return 1;
             }},
            numberOption("deviancechange", " deviance convergence criterion not a number",
                         &SimulationSettings::devianceChange),
            numberOption("alpha", " the alpha value not a number", &SimulationSettings::alpha),
            {"condition", OptionKind::Text, "Condition value cannot be blank",
             [](V v, S s) {
                 if (v.text.isEmpty()) return v.refuse();
                 s.condition = v.text;
                 return 1;
             }},
            generating("regfile"),
            generating("scorefile"),
            {"constraints", OptionKind::Choice, "Constraiints option value must be either 'cases', or 'items'",
             [](V v, S s) {
                 if (choiceOf(v.lower(), {"cases", "items"}) < 0) return v.refuse();
                 s.constraint = v.lower();
                 return 1;
             }},
        });
    return table;
}

int simulateCommand(Session& session, const MString& arguments) {
    SimulationSettings s;
    const SplitStatement split = splitArguments(arguments);
    if (split.options.trim().isEmpty()) return fail(session, "Simulate must have options");
    if (simulateOptionTable().read(session, split.options, s) != 1) return -1;
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
        session.mvnormal = RanMVNormal(zeroVector(1), identity(1), settings.seed);
    }
    status = runReplications(session, s, c, scores);
    ws.replication = -1;
    session.statusText(" ", 0);
    return status;
}

OptionWords simulateOptionWords() { return simulateOptionTable().words(); }

}  // namespace ordena
