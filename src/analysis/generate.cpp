#include "analysis/generate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "base/file_kind.h"
#include "base/matrix.h"
#include "base/number_format.h"
#include "base/textfile.h"
#include "command/option_table.h"
#include "command/parse.h"
#include "command/reader.h"
#include "command/session.h"
#include "data/data_layout.h"
#include "report/export.h"

namespace ordena {

namespace {

// The widest value a ten-column "%10.5f" field holds.
constexpr double kFieldLimit = 99999.99999;

int fail(Session& session, const MString& message) {
    session.errorReport(message);
    return -1;
}

// The values between colons, trimmed.
std::vector<MString> colonPieces(const MString& text) {
    std::vector<MString> pieces = splitAt(text, ':');
    for (MString& piece : pieces) piece = piece.trim();
    return pieces;
}

// A distribution value: a word, "(", values separated by ":" and ")".
struct Bracketed {
    bool hasBracket = false;
    bool closed = false;
    MString word;
    std::vector<MString> values;
};

Bracketed bracketed(const MString& value) {
    Bracketed b;
    const int open = value.find('(');
    if (open < 0) return b;
    b.hasBracket = true;
    b.word = value.mid(0, open).trim().lower();
    const MString rest = value.mid(open + 1, value.length());
    const int close = rest.find(')');
    b.closed = close >= 0;
    b.values = colonPieces(close >= 0 ? rest.mid(0, close) : rest);
    return b;
}

bool numbers(const std::vector<MString>& values, std::vector<double>& out) {
    out.clear();
    for (const MString& v : values) {
        if (!v.isNumber()) return false;
        out.push_back(v.toDouble());
    }
    return true;
}

int itemDistribution(Session& session, const MString& value, GenerationSettings& s) {
    const Bracketed b = bracketed(value);
    s.itemText = value;
    if (!b.hasBracket) {
        s.itemKind = GenerationSettings::kItemFile;
        s.itemFile = value;
        return 1;
    }
    if (b.word != "uniform" && b.word != "normal")
        return fail(session, "item distribution must be 'UNIFORM' or 'NORMAL'");
    if (!b.closed)
        return fail(
            session,
            "item distribution argument does not end with closing bracket. Check if ',' is used instead of ':'");
    if (b.values.size() != 2)
        return fail(session, "item distribution argument must have two values separated by colon");
    if (!numbers(b.values, s.itemArgs)) return fail(session, "item distribution argument in brackets must be a number");
    s.itemKind = b.word == "uniform" ? GenerationSettings::kItemUniform : GenerationSettings::kItemNormal;
    s.itemFile = "NULL";
    return 1;
}

int abilityDistribution(Session& session, const MString& value, GenerationSettings& s) {
    const Bracketed b = bracketed(value);
    s.abilityText = value;
    if (!b.hasBracket) {
        s.abilityKind = GenerationSettings::kAbilityFile;
        s.abilityFile = value;
        return 1;
    }
    int kind;
    if (b.word == "uniform")
        kind = GenerationSettings::kAbilityUniform;
    else if (b.word == "normal")
        kind = GenerationSettings::kAbilityNormal;
    else if (b.word == "normal2")
        kind = GenerationSettings::kAbilityNormal2;
    else if (b.word == "mvnormal")
        kind = GenerationSettings::kAbilityMvnormal;
    else
        return fail(session, "ability distribution must be 'UNIFORM', 'MVNORMAL', 'NORMAL' or 'NORMAL2'");
    if (!b.closed)
        return fail(session,
                    "ability distribution argument does not end with closing bracket. Check if ',' is used "
                    "instead of ':'");
    if (b.values.size() < 2)
        return fail(session, "ability distribution argument must have at least two values separated by colon");
    if (kind == GenerationSettings::kAbilityNormal2 && b.values.size() != 5)
        return fail(session, "ability distribution 'NORMAL2' must have five values separated by colon");
    if ((kind == GenerationSettings::kAbilityNormal || kind == GenerationSettings::kAbilityUniform) &&
        b.values.size() != 2)
        return fail(session, "Incorrect number of parameters for 'normal' or 'uniform' distribution");
    if (kind == GenerationSettings::kAbilityMvnormal) {
        if (!numbers(b.values, s.abilityArgs)) return fail(session, "All distribution parameters must be numeric");
        const double f = static_cast<double>(b.values.size());
        const double D = (std::sqrt(8.0 * f + 9.0) - 3.0) / 2.0;
        if (std::fabs(D - std::round(D)) > 1e-10)
            return fail(session, "Number of parameters in multivariate normal is incorrect");
    } else if (!numbers(b.values, s.abilityArgs)) {
        return fail(session, "ability distribution argument in brackets must be a number");
    }
    s.abilityKind = kind;
    s.abilityFile = "NULL";
    return 1;
}

int regressionOption(Session& session, const MString& value, GenerationSettings& s) {
    const int open = value.find('(');
    const int close = value.find(')');
    if (open < 0 || close < open) return fail(session, "The 'regfile' option must include a variable list");
    s.regressionVariables.clear();
    for (const MString& name : colonPieces(value.mid(open + 1, close - open - 1)))
        if (!name.isEmpty()) s.regressionVariables.push_back(name.lower());
    if (s.regressionVariables.empty()) return fail(session, "The 'regfile' option must include a variable list");
    const MString file = value.mid(0, open).trim();
    s.regressionFile = file.isEmpty() ? MString("NULL") : file;
    s.regressionText = value;
    return 1;
}

}  // namespace

int GenerationSettings::itemCount() const {
    long long I = 0;
    for (int n : items) I += n;
    return static_cast<int>(std::min<long long>(I, 1 << 30));
}

int GenerationSettings::abilityDimensions() const {
    if (abilityKind == kAbilityMvnormal) {
        const double f = static_cast<double>(abilityArgs.size());
        return static_cast<int>(std::lround((std::sqrt(8.0 * f + 9.0) - 3.0) / 2.0));
    }
    if (abilityKind == kAbilityFile) return dimensions();
    return 1;
}

int GenerationSettings::regressionFileColumns() const {
    int k = 0;
    for (const MString& v : regressionVariables)
        if (v != "group") ++k;
    return k;
}

const OptionTable<GenerationSettings>& generateOptionTable() {
    using V = const OptionValue&;
    using S = GenerationSettings&;
    static const OptionTable<GenerationSettings> table(
        {"generate", "Error in generate option", " No option word found or incorrect option word in generate",
         "Error in generate option"},
        {
            {"nitems", OptionKind::List, "The numbers of items must be positive whole numbers separated by colons",
             [](V v, S s) {
                 if (v.text.isEmpty()) return v.refuse("Number of items cannot be blank");
                 std::vector<int> counts;
                 for (const MString& piece : colonPieces(v.text)) {
                     int n = 0;
                     if (!readWholeNumber(piece, 1, 1000000, n)) return v.refuse();
                     counts.push_back(n);
                 }
                 // As many dimensions as a scores statement can state.
                 if (counts.size() > 15) return v.refuse("At most 15 dimensions can be generated");
                 s.items = counts;
                 return 1;
             }},
            {"npersons", OptionKind::Whole, " number of people not a number in generate",
             [](V v, S s) {
                 if (!v.text.isNumber()) return v.refuse();
                 if (!readWholeNumber(v.text, 1, 10000000, s.persons))
                     return v.refuse("The number of people must be a whole number from 1 to 10000000");
                 return 1;
             }},
            {"maxscore", OptionKind::Whole, " maxscore not a number in generate",
             [](V v, S s) {
                 if (!v.text.isNumber()) return v.refuse();
                 // Responses take at most two columns.
                 if (!readWholeNumber(v.text, 1, 99, s.maxScore))
                     return v.refuse("The maxscore must be a whole number from 1 to 99");
                 return 1;
             }},
            {"itemdist", OptionKind::Text, "item distribution must be 'UNIFORM' or 'NORMAL'",
             [](V v, S s) { return itemDistribution(v.session, v.text, s); }},
            {"abilitydist", OptionKind::Text,
             "ability distribution must be 'UNIFORM', 'MVNORMAL', 'NORMAL' or 'NORMAL2'",
             [](V v, S s) { return abilityDistribution(v.session, v.text, s); }},
            yesNoOption("centre", "Centre option value must be either 'yes' or 'no'", &GenerationSettings::centre),
            yesNoOption("center", "Centre option value must be either 'yes' or 'no'", &GenerationSettings::centre),
            {"regfile", OptionKind::Text, "The 'regfile' option must include a variable list",
             [](V v, S s) { return regressionOption(v.session, v.text, s); }},
            {"scorefile", OptionKind::File, "",
             [](V v, S s) {
                 s.scoreFile = v.text.isEmpty() ? MString("NULL") : v.text;
                 return 1;
             }},
        });
    return table;
}

int checkGenerationSettings(Session& session, const GenerationSettings& s) {
    const bool normal2 = s.abilityKind == GenerationSettings::kAbilityNormal2;
    if (normal2) {
        const double size = s.abilityArgs[4];
        if (!(size >= 1.0) || size != std::floor(size) || size > s.persons)
            return fail(session, "The group size must be a whole number from 1 to the number of people");
        if (s.persons % static_cast<int>(size) != 0)
            return fail(session, "The total persons must be divisible by the group size");
    }
    for (const MString& v : s.regressionVariables)
        if (v == "group" && !normal2)
            return fail(session, "Conditioning variable 'group', only available with 'normal2'");
    if (s.abilityKind != GenerationSettings::kAbilityFile && s.abilityDimensions() != s.dimensions())
        return fail(session, MString("The number of dimensions in the 'nitems' and the population distribution ") +
                                 "do not match");
    const int width = s.maxScore > 9 ? 2 : 1;
    const long long record =
        static_cast<long long>(s.itemCount()) * width +
        10LL * (static_cast<long long>(s.regressionVariables.size()) +
                (normal2 && s.regressionFileColumns() == static_cast<int>(s.regressionVariables.size()) ? 1 : 0));
    if (record > kMaxRecordLength)
        return fail(session,
                    "The generated records would be longer than " + itoMString(kMaxRecordLength) + " characters");
    return 1;
}

namespace {

// Reads whitespace-separated numbers; false at a word that is not one.
struct NumberReader {
    std::ifstream in;
    bool bad = false;
    bool next(double& v) {
        std::string word;
        if (!(in >> word)) return false;
        if (!MString(word).isNumber()) {
            bad = true;
            return false;
        }
        v = MString(word).toDouble();
        return true;
    }
};

bool openNumbers(Session& session, const MString& name, NumberReader& reader) {
    if (isRegularFile(name.str())) reader.in.open(name.str());
    if (!reader.in.is_open() || !reader.in) {
        session.errorReport("Error opening file " + name);
        return false;
    }
    return true;
}

bool index(double v, int low, int high, int& out) {
    if (!(v >= low && v <= high) || v != std::floor(v)) return false;
    out = static_cast<int>(v);
    return true;
}

int readItemFile(Session& session, const GenerationSettings& s, GeneratedTables& t) {
    NumberReader r;
    if (!openNumbers(session, s.itemFile, r)) return -1;
    double a = 0, b = 0, value = 0;
    while (r.next(a)) {
        int i = 0, k = 0;
        if (!r.next(b) || !r.next(value)) break;
        if (!index(a, 1, t.I, i))
            return fail(session, "Index i (item number) out of range in item import file for the generate command");
        if (!index(b, 0, t.M - 1, k))
            return fail(session,
                        "Index k (category number) out of range in item import file. File may have incorrect format");
        t.items[static_cast<std::size_t>(i - 1) * t.M + k] = value;
    }
    if (r.bad || !r.in.eof()) return fail(session, "Error in reading the item parameter file " + s.itemFile);
    return 1;
}

int readAbilityFile(Session& session, const GenerationSettings& s, GeneratedTables& t) {
    NumberReader r;
    if (!openNumbers(session, s.abilityFile, r)) return -1;
    double a = 0;
    while (r.next(a)) {
        int n = 0;
        std::vector<double> values(static_cast<std::size_t>(t.D));
        bool complete = true;
        for (double& v : values) complete = complete && r.next(v);
        if (!complete) break;
        if (!index(a, 1, t.N, n)) {
            session.errorReport(
                "Index n (number of persons) out of range in ability import file for the generate command");
            return fail(session, "n is " + printFormat("%.0f", a));
        }
        for (int d = 0; d < t.D; ++d)
            t.abilities[static_cast<std::size_t>(n - 1) * t.D + d] = values[static_cast<std::size_t>(d)];
    }
    if (r.bad || !r.in.eof()) return fail(session, "Error in reading the ability file " + s.abilityFile);
    return 1;
}

int readRegressionFile(Session& session, const GenerationSettings& s, GeneratedTables& t) {
    const int K = s.regressionFileColumns();
    if (K == 0) return 1;
    NumberReader r;
    if (!openNumbers(session, s.regressionFile, r)) return -1;
    t.regression.assign(static_cast<std::size_t>(t.N) * K, 0.0);
    for (int n = 0;; ++n) {
        double first = 0;
        if (!r.next(first)) {
            if (r.bad || n < t.N) {
                session.errorReport("Error in reading regression variable file");
                return fail(session, "Case number is " + itoMString(n + 1));
            }
            return 1;
        }
        if (n >= t.N)
            return fail(session,
                        "Index n (number of persons) out of range in regression file for the generate command");
        double* row = t.regression.data() + static_cast<std::size_t>(n) * K;
        row[0] = first;
        for (int k = 1; k < K; ++k)
            if (!r.next(row[k])) {
                session.errorReport("Error in reading regression variable file");
                return fail(session, "Case number is " + itoMString(n + 1));
            }
        for (int k = 0; k < K; ++k)
            if (std::fabs(row[k]) > kFieldLimit)
                return fail(session,
                            "A regression value of case " + itoMString(n + 1) + " does not fit in ten columns");
    }
}

int readScoreFile(Session& session, const GenerationSettings& s, GeneratedTables& t) {
    NumberReader r;
    if (!openNumbers(session, s.scoreFile, r)) return -1;
    double a = 0, b = 0;
    while (r.next(a)) {
        int i = 0, k = 0;
        if (!r.next(b)) break;
        std::vector<double> values(static_cast<std::size_t>(t.D));
        bool complete = true;
        for (double& v : values) complete = complete && r.next(v);
        if (!complete) break;
        if (!index(a, 1, t.I, i)) return fail(session, "Item index out of range in score import file");
        if (!index(b, 0, t.M, k)) return fail(session, "Category index out of range in score import file");
        for (int d = 0; d < t.D; ++d)
            t.scores[(static_cast<std::size_t>(i - 1) * (t.M + 1) + k) * t.D + d] = values[static_cast<std::size_t>(d)];
    }
    if (r.bad || !r.in.eof()) return fail(session, "Error in reading the score file " + s.scoreFile);
    return 1;
}

}  // namespace

int scoringVectors(Session& session, const GenerationSettings& s, GeneratedTables& t) {
    t.scores.assign(static_cast<std::size_t>(t.I) * (t.M + 1) * t.D, 0.0);
    for (int i = 0; i < t.I; ++i)
        for (int k = 0; k <= t.M; ++k)
            t.scores[(static_cast<std::size_t>(i) * (t.M + 1) + k) * t.D + t.dimensionOf[static_cast<std::size_t>(i)]] =
                k;
    return s.scoreFile != "NULL" ? readScoreFile(session, s, t) : 1;
}

namespace {

// Item locations and steps, drawn or read.
int itemParameters(Session& session, const GenerationSettings& s, GeneratedTables& t) {
    t.items.assign(static_cast<std::size_t>(t.I) * t.M, 0.0);
    if (s.itemKind == GenerationSettings::kItemFile) {
        if (readItemFile(session, s, t) != 1) return -1;
    } else {
        for (int i = 0; i < t.I; ++i) {
            double& delta = t.items[static_cast<std::size_t>(i) * t.M];
            if (s.itemKind == GenerationSettings::kItemUniform)
                delta = s.itemArgs[0] + (s.itemArgs[1] - s.itemArgs[0]) * session.uniform.draw();
            else
                delta = std::sqrt(s.itemArgs[1]) * session.normal.standard() + s.itemArgs[0];
            for (int k = 1; k < t.M; ++k) t.items[static_cast<std::size_t>(i) * t.M + k] = session.uniform.draw() - 0.5;
        }
    }
    if (s.centre) {
        std::vector<double> sum(static_cast<std::size_t>(t.D), 0.0), count(static_cast<std::size_t>(t.D), 0.0);
        for (int i = 0; i < t.I; ++i) {
            sum[static_cast<std::size_t>(t.dimensionOf[static_cast<std::size_t>(i)])] += t.item(i, 0);
            count[static_cast<std::size_t>(t.dimensionOf[static_cast<std::size_t>(i)])] += 1.0;
        }
        for (int i = 0; i < t.I; ++i) {
            const auto d = static_cast<std::size_t>(t.dimensionOf[static_cast<std::size_t>(i)]);
            t.items[static_cast<std::size_t>(i) * t.M] -= sum[d] / count[d];
        }
    }
    return 1;
}

int abilities(Session& session, const GenerationSettings& s, GeneratedTables& t) {
    t.abilities.assign(static_cast<std::size_t>(t.N) * t.D, 0.0);
    const std::vector<double>& a = s.abilityArgs;
    switch (s.abilityKind) {
        case GenerationSettings::kAbilityFile:
            return readAbilityFile(session, s, t);
        case GenerationSettings::kAbilityUniform:
            for (int n = 0; n < t.N; ++n)
                t.abilities[static_cast<std::size_t>(n)] = a[0] + (a[1] - a[0]) * session.uniform.draw();
            return 1;
        case GenerationSettings::kAbilityNormal:
            for (int n = 0; n < t.N; ++n)
                t.abilities[static_cast<std::size_t>(n)] = std::sqrt(a[1]) * session.normal.standard() + a[0];
            return 1;
        case GenerationSettings::kAbilityNormal2: {
            const int size = static_cast<int>(a[4]);
            double g = 0.0;
            for (int n = 0; n < t.N; ++n) {
                double theta = std::sqrt(a[1]) * session.normal.standard() + a[0];
                if (n % size == 0) g = session.normal.standard();
                theta += std::sqrt(a[3]) * g + a[2];
                t.abilities[static_cast<std::size_t>(n)] = theta;
            }
            // Each case's group value: the mean ability of the other members.
            t.groupValues.assign(static_cast<std::size_t>(t.N), 0.0);
            for (int start = 0; start < t.N; start += size) {
                double sum = 0.0;
                for (int n = start; n < start + size; ++n) sum += t.abilities[static_cast<std::size_t>(n)];
                for (int n = start; n < start + size; ++n)
                    t.groupValues[static_cast<std::size_t>(n)] =
                        size > 1 ? (sum - t.abilities[static_cast<std::size_t>(n)]) / (size - 1) : 0.0;
            }
            return 1;
        }
        default: {
            const int D = t.D;
            Vector mean;
            mean.resize(D);
            Matrix cov = zeros(D, D);
            for (int d = 0; d < D; ++d) {
                mean[d][0] = a[static_cast<std::size_t>(2 * d)];
                cov[d][d] = a[static_cast<std::size_t>(2 * d + 1)];
            }
            std::size_t next = static_cast<std::size_t>(2 * D);
            for (int j = 0; j < D; ++j)
                for (int k = j + 1; k < D; ++k) {
                    cov[j][k] = cov[k][j] = a[next++] * std::sqrt(cov[j][j] * cov[k][k]);
                }
            session.mvnormal.setparameters(mean, cov);
            for (int n = 0; n < t.N; ++n) {
                const Vector theta = session.mvnormal.draw();
                for (int d = 0; d < D; ++d) t.abilities[static_cast<std::size_t>(n) * D + d] = theta[d][0];
            }
            return 1;
        }
    }
}
}  // namespace

void generatingProbabilities(const GeneratedTables& t, int i, const double* theta, std::vector<double>& p) {
    const int M = t.M;
    p.assign(static_cast<std::size_t>(M) + 1, 0.0);
    const double delta = t.item(i, 0);
    double steps = 0.0, top = -HUGE_VAL;
    for (int k = 0; k <= M; ++k) {
        double s = 0.0;
        for (int d = 0; d < t.D; ++d) s += (theta[d] - delta) * t.score(i, k, d);
        if (k >= 1 && k <= M - 1) steps += t.item(i, k);
        p[static_cast<std::size_t>(k)] = s - (k == M ? 0.0 : steps);
        top = std::max(top, p[static_cast<std::size_t>(k)]);
    }
    // Shifted by the largest exponent, so that extreme abilities do not
    // overflow.
    double sum = 0.0;
    for (double& v : p) sum += (v = std::exp(v - top));
    for (double& v : p) v /= sum;
}

namespace {

// A generated file, written line by line: its name and what it holds for
// the message when it cannot be written.
class GeneratedFile {
public:
    GeneratedFile(const MString& name, const char* what) : name_(name), what_(what) {
        ok_ = name.str().find('\0') == std::string::npos && file_.open(name.str(), "w");
    }
    void write(const std::string& text) { ok_ = ok_ && file_.write(MString(text)); }
    int close(Session& session) {
        ok_ = file_.close() && ok_;
        if (!ok_) return fail(session, MString("Could not write the ") + what_ + " file " + name_);
        return 1;
    }

private:
    TextFile file_;
    MString name_;
    const char* what_;
    bool ok_ = false;
};

int generate(Session& session, const GenerationSettings& s, const std::vector<MString>& files) {
    GeneratedTables t;
    t.I = s.itemCount();
    t.M = s.maxScore;
    t.D = s.dimensions();
    t.N = s.persons;
    for (int d = 0; d < t.D; ++d)
        for (int k = 0; k < s.items[static_cast<std::size_t>(d)]; ++k) t.dimensionOf.push_back(d);

    if (itemParameters(session, s, t) != 1) return -1;
    if (abilities(session, s, t) != 1) return -1;
    if (s.regressionFile != "NULL" && readRegressionFile(session, s, t) != 1) return -1;
    if (scoringVectors(session, s, t) != 1) return -1;
    const bool group = s.abilityKind == GenerationSettings::kAbilityNormal2;
    for (int n = 0; group && n < t.N; ++n)
        if (std::fabs(t.groupValues[static_cast<std::size_t>(n)]) > kFieldLimit)
            return fail(session, "The group value of case " + itoMString(n + 1) + " does not fit in ten columns");

    // The responses, then the columns after them, one record per case.
    const int K = s.regressionFileColumns();
    const char* responseFormat = t.M > 9 ? "%2d" : "%1d";
    GeneratedFile data(files[0], "generated data");
    std::string record;
    std::vector<double> p;
    for (int n = 0; n < t.N; ++n) {
        if (session.terminationSignalled()) return -1;
        record.clear();
        for (int i = 0; i < t.I; ++i) {
            generatingProbabilities(t, i, t.abilities.data() + static_cast<std::size_t>(n) * t.D, p);
            const double u = session.uniform.draw();
            int response = t.M;
            double cumulative = 0.0;
            for (int k = 0; k < t.M; ++k) {
                cumulative += p[static_cast<std::size_t>(k)];
                if (u < cumulative) {
                    response = k;
                    break;
                }
            }
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, responseFormat, response);
            record += buffer;
        }
        if (group) record += printFormat("%10.5f", t.groupValues[static_cast<std::size_t>(n)]).str();
        for (int k = 0; k < K; ++k)
            record += printFormat("%10.5f", t.regression[static_cast<std::size_t>(n) * K + k]).str();
        record += "\n";
        data.write(record);
    }
    if (data.close(session) != 1) return -1;

    if (files.size() > 1 && !files[1].isEmpty()) {
        GeneratedFile items(files[1], "item parameter");
        for (int i = 0; i < t.I; ++i) items.write(printFormat("%5d%5d%10.5f\n", i + 1, 0, t.item(i, 0)).str());
        for (int i = 0; i < t.I; ++i)
            for (int k = 1; k < t.M; ++k) items.write(printFormat("%5d%5d%10.5f\n", i + 1, k, t.item(i, k)).str());
        if (items.close(session) != 1) return -1;
    }
    if (files.size() > 2 && !files[2].isEmpty()) {
        GeneratedFile abilities(files[2], "ability");
        for (int n = 0; n < t.N; ++n) {
            record = printFormat("%5d", n + 1).str();
            for (int d = 0; d < t.D; ++d) record += printFormat("%10.5f", t.ability(n, d)).str();
            record += "\n";
            abilities.write(record);
        }
        if (abilities.close(session) != 1) return -1;
    }
    return 1;
}

}  // namespace

// The checks of the distribution values made before generating.
int checkDistributionValues(Session& session, const GenerationSettings& s) {
    if (s.itemKind == GenerationSettings::kItemUniform && s.itemArgs[0] > s.itemArgs[1])
        return fail(session, "The first number must be less than the second number in brackets");
    if (s.itemKind == GenerationSettings::kItemNormal && s.itemArgs[1] < 0.0)
        return fail(session, "The variance must be positive");
    if (s.abilityKind == GenerationSettings::kAbilityUniform && s.abilityArgs[0] > s.abilityArgs[1])
        return fail(session, "The first number must be less than the second number inside the brackets");
    if ((s.abilityKind == GenerationSettings::kAbilityNormal || s.abilityKind == GenerationSettings::kAbilityNormal2) &&
        (s.abilityArgs[1] < 0.0 || (s.abilityKind == GenerationSettings::kAbilityNormal2 && s.abilityArgs[3] < 0.0)))
        return fail(session, "The variance must be positive");
    return 1;
}

int parseGenerateStatement(Session& session, const MString& arguments, GenerationSettings& settings,
                           std::vector<MString>& files) {
    settings = GenerationSettings{};
    files.clear();
    if (arguments.trim().isEmpty()) return fail(session, "You must specify a file name for generated data");
    const SplitStatement split = splitArguments(arguments);
    if (!split.options.trim().isEmpty() && generateOptionTable().read(session, split.options, settings) != 1)
        return -1;
    if (checkGenerationSettings(session, settings) != 1) return -1;
    const MString target = split.file.trim();
    if (target.isEmpty()) return fail(session, "You must specify a data file name for redirection");
    if (checkDistributionValues(session, settings) != 1) return -1;
    files = splitAt(target, ',');
    for (MString& name : files) name = name.trim();
    if (files.size() > 3) return fail(session, "At most three file names may follow '>>' in generate");
    if (files[0].isEmpty()) return fail(session, "You must specify a data file name for redirection");
    return 1;
}

int generateCommand(Session& session, const MString& arguments) {
    GenerationSettings settings;
    std::vector<MString> files;
    if (parseGenerateStatement(session, arguments, settings, files) != 1) return -1;
    // Inside a simulation the files of the replications are replaced
    // without asking: their check came before the first replication.
    for (const MString& name : files)
        if (!name.isEmpty() && session.ws.replication < 1 && !confirmOverwrite(session, name)) return -1;
    return generate(session, settings, files);
}

OptionWords generateOptionWords() { return generateOptionTable().words(); }

}  // namespace ordena
