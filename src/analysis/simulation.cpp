#include "analysis/simulation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "base/matrix.h"
#include "base/textfile.h"
#include "command/parse.h"
#include "command/reader.h"
#include "command/session.h"
#include "data/data_layout.h"
#include "report/export.h"
#include "report/print_format.h"

namespace ordena {

const char* const kGenerateOptionWords[9] = {"nitems", "npersons", "maxscore", "itemdist", "abilitydist",
                                             "centre", "center",   "regfile",  "scorefile"};

namespace {

enum GenerateOption {
    kNitems = 0,
    kNpersons,
    kMaxscore,
    kItemdist,
    kAbilitydist,
    kCentre,
    kCenter,
    kRegfile,
    kScorefile
};

// The widest value a ten-column "%10.5f" field holds.
constexpr double kFieldLimit = 99999.99999;

// The values between colons, trimmed.
std::vector<MString> colonPieces(const MString& text) {
    std::vector<MString> pieces = splitAt(text, ':');
    for (MString& piece : pieces) piece = piece.trim();
    return pieces;
}

bool yesNo(const MString& value, bool& out) {
    const MString v = value.lower();
    if (v == "yes" || v == "y")
        out = true;
    else if (v == "no" || v == "n")
        out = false;
    else
        return false;
    return true;
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

int fail(Session& session, const MString& message) {
    session.errorReport(message);
    return -1;
}

// A whole number option value within [low, high].
bool wholeNumber(const MString& value, double low, double high, int& out) {
    if (!value.isNumber()) return false;
    const double v = value.toDouble();
    if (!(v >= low && v <= high) || v != std::floor(v)) return false;
    out = static_cast<int>(v);
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

int applyGenerationOption(Session& session, int option, const MString& raw, GenerationSettings& s) {
    const MString value = raw.trim();
    switch (option) {
        case kNitems: {
            if (value.isEmpty()) return fail(session, "Number of items cannot be blank");
            std::vector<int> counts;
            for (const MString& piece : colonPieces(value)) {
                int n = 0;
                if (!wholeNumber(piece, 1, 1000000, n))
                    return fail(session, "The numbers of items must be positive whole numbers separated by colons");
                counts.push_back(n);
            }
            // As many dimensions as a scores statement can state.
            if (counts.size() > 15) return fail(session, "At most 15 dimensions can be generated");
            s.items = counts;
            return 1;
        }
        case kNpersons:
            if (!value.isNumber()) return fail(session, " number of people not a number in generate");
            if (!wholeNumber(value, 1, 10000000, s.persons))
                return fail(session, "The number of people must be a whole number from 1 to 10000000");
            return 1;
        case kMaxscore:
            if (!value.isNumber()) return fail(session, " maxscore not a number in generate");
            // Responses take at most two columns.
            if (!wholeNumber(value, 1, 99, s.maxScore))
                return fail(session, "The maxscore must be a whole number from 1 to 99");
            return 1;
        case kItemdist:
            return itemDistribution(session, value, s);
        case kAbilitydist:
            return abilityDistribution(session, value, s);
        case kCentre:
        case kCenter: {
            if (!yesNo(value, s.centre)) return fail(session, "Centre option value must be either 'yes' or 'no'");
            return 1;
        }
        case kRegfile:
            return regressionOption(session, value, s);
        case kScorefile:
            s.scoreFile = value.isEmpty() ? MString("NULL") : value;
            return 1;
        default:
            return fail(session, "Error in generate option");
    }
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
    if (name.str().find('\0') == std::string::npos) reader.in.open(name.str());
    if (!reader.in) {
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

// Category k of an item scores k on the item's dimension, unless the score
// file gives the category another scoring vector.
int scoringVectors(Session& session, const GenerationSettings& s, GeneratedTables& t) {
    t.scores.assign(static_cast<std::size_t>(t.I) * (t.M + 1) * t.D, 0.0);
    for (int i = 0; i < t.I; ++i)
        for (int k = 0; k <= t.M; ++k)
            t.scores[(static_cast<std::size_t>(i) * (t.M + 1) + k) * t.D + t.dimensionOf[static_cast<std::size_t>(i)]] =
                k;
    return s.scoreFile != "NULL" ? readScoreFile(session, s, t) : 1;
}

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

MString formatted(const char* format, double v) { return printFormat(format, v); }

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
        if (group) record += formatted("%10.5f", t.groupValues[static_cast<std::size_t>(n)]).str();
        for (int k = 0; k < K; ++k)
            record += formatted("%10.5f", t.regression[static_cast<std::size_t>(n) * K + k]).str();
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
            for (int d = 0; d < t.D; ++d) record += formatted("%10.5f", t.ability(n, d)).str();
            record += "\n";
            abilities.write(record);
        }
        if (abilities.close(session) != 1) return -1;
    }
    return 1;
}

// Splits an option text at commas into words and values; calls apply for
// each. 1, or -1 after the reports.
template <typename Apply>
int eachOption(Session& session, const MString& text, const char* const* words, int count, const char* context,
               const char* errorText, Apply apply) {
    for (const OptionPiece& piece : optionPieces(text)) {
        if (piece.word.isEmpty()) return fail(session, errorText);
        const int which = matchKeyword(piece.word, words, count);
        if (which < 0) {
            session.errorReport(MString(" No option word found or incorrect option word in ") + context);
            return fail(session, errorText);
        }
        if (apply(which, piece.value) != 1) return -1;
    }
    return 1;
}

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


}  // namespace

int parseGenerateStatement(Session& session, const MString& arguments, GenerationSettings& settings,
                           std::vector<MString>& files) {
    settings = GenerationSettings{};
    files.clear();
    if (arguments.trim().isEmpty()) return fail(session, "You must specify a file name for generated data");
    const SplitStatement split = splitArguments(arguments);
    if (!split.options.trim().isEmpty() && eachOption(session, split.options, kGenerateOptionWords, 9, "generate",
                                                      "Error in generate option", [&](int which, const MString& value) {
                                                          return applyGenerationOption(session, which, value, settings);
                                                      }) != 1)
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

// ---------------------------------------------------------------------------
// simulate

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

}  // namespace ordena
