// A case's maximum likelihood (MLE) or weighted likelihood (WLE) estimate
// by Newton iterations on its score equations at the current item
// parameters, with the error covariance from the information matrix.
#pragma once

#include <cstdint>
#include <vector>

#include "estimation/estimation_work.h"

namespace ordena {

class Session;
class Shell;

// Case Newton iterations from theta = 0; returns the information matrix's
// inverse in covariance (D x D, row-major). False when it failed.
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
