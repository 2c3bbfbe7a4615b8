// A case's maximum likelihood (MLE) or weighted likelihood (WLE) estimate
// by Newton iterations on its score equations at the current item
// parameters, with the error covariance from the information matrix.
//
// The iterations are safeguarded. The WLE's Newton step divides by the
// information, not by the derivative of the corrected score function (for
// one dichotomous item that derivative is twice the information), so on
// its own it may leap over the root and back for ever. Each equation that
// involves one dimension only (every model of one dimension, and models
// whose items each score on one dimension) therefore keeps the nearest
// points either side of its root; a step that would leave them, or that
// follows a step which did not bring the score function nearer zero, is
// replaced by a secant or a halving step between them. Equations that mix
// dimensions, where a step that made the score functions larger is
// replaced by fractions (1, 1/2, ...) of the plain Newton step from the
// last point that made them smaller, end only where that plain step is
// small too: the steps cut dimension by dimension can shrink to nothing
// away from the root. An estimate that still fails is not a number (NaN),
// never 0.
#pragma once

#include <cstdint>
#include <vector>

#include "estimation/estimation_work.h"

namespace ordena {

class Session;
class Shell;

// The two nearest points known either side of a root of f, one equation
// f(theta) = 0 in one unknown.
class RootBracket {
public:
    // f evaluated at theta, before the step from theta.
    void record(double theta, double f);
    // The step to take from theta: the given Newton step when it lands
    // strictly between the two sides and the last step reduced |f| (or the
    // step is no larger than small, the size that ends the iterations);
    // else a step to the secant of the sides (or to their middle when the
    // secant steps have not halved the bracket).
    double step(double theta, double newton, double small = 0.0);
    // Whether the last step() replaced the Newton step.
    bool replaced() const { return replaced_; }
    bool closed() const { return havePositive_ && haveNegative_; }
    // The distance between the two sides (infinite while one is unknown).
    double width() const;

private:
    double positive_ = 0.0, fPositive_ = 0.0, negative_ = 0.0, fNegative_ = 0.0;
    bool havePositive_ = false, haveNegative_ = false;
    double lastAbs_ = 0.0, abs_ = 0.0;
    bool seen_ = false;
    double widthAtLastReplacement_ = 0.0;
    bool replacedBefore_ = false;
    bool replaced_ = false;
};

// Case Newton iterations from theta = 0; returns the information matrix's
// inverse in covariance (D x D, row-major). False when it failed: theta,
// covariance and information are then NaN.
bool caseNewton(Session& session, const EstimationWork& work, int m, const std::vector<double>& score, bool wle,
                int caseNumber, std::vector<double>& theta, std::vector<double>& covariance,
                std::vector<double>& information);
// The same iterations from the start vector in theta; iterations receives
// the number of Newton steps taken (10 or more means the case was warned).
bool caseNewtonFrom(Session& session, const EstimationWork& work, int m, const std::vector<double>& score, bool wle,
                    int caseNumber, std::vector<double>& theta, std::vector<double>& covariance,
                    std::vector<double>& information, int* iterations);
// The same for the given responses, reporting through reports (on a worker
// thread of a pass, its deferred reports); iterations may be null.
bool caseNewtonFrom(const Session& session, Shell& reports, const EstimationWork& work, const std::int32_t* items,
                    int m, const std::vector<double>& score, bool wle, int caseNumber, std::vector<double>& theta,
                    std::vector<double>& covariance, std::vector<double>& information, int* iterations);

}  // namespace ordena
