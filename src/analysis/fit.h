// Item fit: the fit matrix (one column per fit group, a coefficient for
// every category of every generalised item), the groups of the `fit`
// statement, the marginal mean squares by draws from the case posteriors,
// and the table of the `fit` statement.
#pragma once

#include <cstdint>
#include <vector>

#include "base/matrix.h"
#include "base/mstring.h"
#include "base/shell.h"
#include "estimation/estimation_state.h"

namespace ordena {

class Session;
struct ModelBuild;
struct ModelSpec;
struct Workspace;

// Element ((g * maxCat) + k) * G + j is the coefficient of group j for
// category k of generalised item g.
struct FitMatrix {
    int items = 0, maxCat = 1, G = 0;
    std::vector<float> F;

    void reset(int itemCount, int categories, int groups) {
        items = itemCount;
        maxCat = categories < 1 ? 1 : categories;
        G = groups;
        F.assign(static_cast<std::size_t>(items) * maxCat * static_cast<std::size_t>(G), 0.0f);
    }
    float at(int g, int k, int j) const {
        return F[(static_cast<std::size_t>(g) * maxCat + k) * static_cast<std::size_t>(G) + j];
    }
    float& at(int g, int k, int j) { return F[(static_cast<std::size_t>(g) * maxCat + k) * static_cast<std::size_t>(G) + j]; }
};

// One group of the parameter layout: the term it belongs to, the levels of
// its parameter (model order, -1 outside the term), its sign, and for step
// terms the category it marks (-1 for other terms).
struct LayoutGroup {
    int term = 0;
    std::vector<std::int32_t> levels;
    int category = -1;
    char sign = '+';
};

// The groups of the parameter layout, term by term, in the order the
// parameter tables print their fit lines.
std::vector<LayoutGroup> parameterLayoutGroups(const ModelSpec& model, const ModelBuild& build,
                                               const std::vector<std::int32_t>& keptParameters);
// The fit matrix of those groups.
FitMatrix layoutFitMatrix(const std::vector<LayoutGroup>& groups, const ModelBuild& build);
// The columns of the design matrix (P of them) as groups.
FitMatrix designFitMatrix(const ModelBuild& build, int P);
// A fit matrix file: G, then G coefficients for every category of every
// generalised item. 1, or -1 after the report (fit left untouched).
int readFitMatrix(const MString& fileName, const ModelBuild& build, FitMatrix& fit, Shell& shell);

// The group arguments of the fit statement: "1-3 : 4" gives two groups.
// groups receives one column per group (G rows) of column numbers from 1,
// zero padded; texts the text of each group. 1, or -1 after the report.
int parseFitGroups(const MString& text, int G, Matrix& groups, std::vector<MString>& texts, Shell& shell);
// Column j of the result sums the columns of fit listed in column j of
// groups (entries below 1 skipped).
void CollapseF(FitMatrix& fit, const Matrix& groups);

// The sums of one repetition for one group.
struct FitSums {
    double r2 = 0, W = 0, KW = 0, z2 = 0, N = 0, nu = 0;
};

// Number of generalised items with a non-zero coefficient in each column.
std::vector<int> itemsPerGroup(const FitMatrix& fit);

// The case contributions of one repetition: each case's observed and
// expected group scores at its drawn node, their variances and fourth
// moments, summed into the sums of every group.
class FitAccumulator {
public:
    FitAccumulator(const FitMatrix& fit, const std::vector<std::int32_t>& ncat);
    void startRepetition();
    // probabilities: for each of the m responses the category probabilities
    // of its item at the node (maxCat each); w the case's scale factor.
    // False, with the variance, when a group's variance is negative.
    bool addCase(int m, const std::int32_t* itemNo, const std::int32_t* rsp, const std::vector<double>& probabilities,
                 double w, double& negativeVariance);

    std::vector<FitSums> sums;

private:
    struct CaseSums {
        double x = 0, E = 0, V = 0, V2 = 0, M = 0;
        int D = 0;
    };
    const FitMatrix& fit_;
    std::vector<std::int32_t> ncat_;
    std::vector<int> items_;
    std::vector<std::vector<int>> itemGroups_;  // per item: the groups it has a coefficient in
    std::vector<CaseSums> caseSums_;
    std::vector<char> touched_;
    std::vector<int> touchedList_;
};

// The statistics of every repetition added up, and their averages.
class FitTotals {
public:
    // Mean squares, standard errors and weighted t of one repetition.
    void addRepetition(const std::vector<FitSums>& sums);
    // Averages; the unweighted t from the averaged mean square and the
    // degrees of freedom of the last repetition. Variances are the squared
    // standard errors.
    std::vector<FitResult> results(const std::vector<FitSums>& last) const;

private:
    struct Values {
        double U = 0, seU = 0, V = 0, seV = 0, tV = 0;
    };
    std::vector<Values> values;
    int repetitions = 0;
};

// The marginal fit at the current estimates. 1, or -1 after a report.
int marginalFit(Session& session, const FitMatrix& fit, std::vector<FitResult>& results);

// The fit under joint maximum likelihood: every case's contribution at its
// own estimate, one pass. 1, or -1 after a report.
int jmlFit(Session& session, const FitMatrix& fit, std::vector<FitResult>& results);

// The lines that head fit figures drawn from the case posteriors: how many
// draws per case they rest on, how much they move with the seed, and the
// setting that steadies them. None under JML, whose fit draws nothing.
std::vector<MString> fitDrawsNote(const Workspace& ws);

// Lines of the fit statement's table.
std::vector<MString> fitTableLines(const Workspace& ws, const std::vector<FitResult>& results, const MString& fileName,
                                   const MString& dateText);

// The fit driver: mode 1 design columns, 2 parameter layout, 3 the fit
// statement. reportFailure: report "Fit computation has failed." itself.
int fitDriver(Session& session, const MString& text, int mode, bool reportFailure);

// The fit statement.
int fitCommand(Session& session, const MString& arguments);

}  // namespace ordena
