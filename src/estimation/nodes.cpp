#include "estimation/nodes.h"

#include <algorithm>
#include <cmath>

#include "base/index.h"
#include "base/special.h"
#include "command/session.h"
#include "estimation/probabilities.h"

namespace ordena {

namespace {

int totalNodes(int n, int D) {
    double q = 1.0;
    for (int d = 0; d < D; ++d) q *= n;
    return q > 2.0e9 ? -1 : static_cast<int>(q);
}

// Node q's per-dimension indices, the first dimension fastest.
void nodeIndices(int q, int n, int D, std::vector<int>& idx) {
    idx.assign(static_cast<std::size_t>(D), 0);
    for (int d = 0; d < D; ++d) {
        at(idx, d) = q % n;
        q /= n;
    }
}

}  // namespace

int buildNodes(Session& session, EstimationWork& work, int n, float minNode, float maxNode, Matrix& grid, float& h) {
    const int D = work.D;
    if (work.method == EstimationMethod::MonteCarlo) {
        const int Q = n;
        grid = Matrix(Q, D);
        for (int q = 0; q < Q; ++q)
            for (int d = 0; d < D; ++d) grid[q][d] = session.normal.draw();
        // Make the draws exactly standard: zero means, identity covariance.
        for (int d = 0; d < D; ++d) {
            double mean = 0.0;
            for (int q = 0; q < Q; ++q) mean += grid[q][d];
            mean /= Q;
            for (int q = 0; q < Q; ++q) grid[q][d] -= mean;
        }
        Matrix C = transpose(grid) * grid;
        C /= static_cast<double>(Q);
        Vector lambda;
        Matrix V;
        int rotations = 0;
        jacobiEigen(C, D, lambda, V, rotations);
        Matrix Vi = inverse(V);
        if (Vi.isEmpty()) return -1;
        Matrix scale = transpose(Vi);
        for (int d = 0; d < D; ++d) {
            double l = lambda[d][0];
            double f = l > 0.0 ? 1.0 / std::sqrt(l) : 0.0;
            for (int j = 0; j < D; ++j) scale[j][d] *= f;
        }
        grid = grid * scale;
        work.Q = Q;
        h = 0.0f;
        return 1;
    }
    // The Hermite recurrence loses all precision beyond 198 nodes; such a
    // rule would integrate nothing. Refused before its roots are sought,
    // which for large n would take hours.
    auto noGaussHermite = [&]() {
        session.errorReport("Gauss-Hermite quadrature is not available with " + itoMString(n) + " nodes (at most " +
                            itoMString(kMaxGaussHermiteNodes) + "); use fewer nodes or method=quadrature");
        return -1;
    };
    if (work.method == EstimationMethod::Gauss && n > kMaxGaussHermiteNodes) return noGaussHermite();
    const int Q = totalNodes(n, D);
    if (Q < 1) {
        session.errorReport("Too many nodes for estimation");
        return -1;
    }
    grid = Matrix(Q, D);
    std::vector<int> idx;
    if (work.method == EstimationMethod::Gauss) {
        Vector x, w;
        GaussHermite(x, w, n);
        // A rule whose weights do not add up is refused all the same.
        double total = 0.0;
        bool finite = x.rows() == n && w.rows() == n;
        for (int i = 0; finite && i < n; ++i) {
            finite = std::isfinite(x[i][0]) && std::isfinite(w[i][0]) && w[i][0] >= 0.0;
            total += finite ? w[i][0] : 0.0;
        }
        if (!finite || std::fabs(total - 1.0) > 1e-6) return noGaussHermite();
        work.ghWeights.assign(static_cast<std::size_t>(Q), 1.0);
        for (int q = 0; q < Q; ++q) {
            nodeIndices(q, n, D, idx);
            for (int d = 0; d < D; ++d) {
                grid[q][d] = x[at(idx, d)][0];
                at(work.ghWeights, q) *= w[at(idx, d)][0];
            }
        }
        h = 0.0f;
    } else {
        h = static_cast<float>((static_cast<double>(maxNode) - minNode) / (n - 1));
        for (int q = 0; q < Q; ++q) {
            nodeIndices(q, n, D, idx);
            for (int d = 0; d < D; ++d) grid[q][d] = at(idx, d) * static_cast<double>(h) + minNode;
        }
    }
    work.Q = Q;
    return 1;
}

Matrix transformNodes(Session& session, const Matrix& base, const Matrix& sigma) {
    const int D = sigma.rows();
    Vector lambda;
    Matrix V;
    int rotations = 0;
    jacobiEigen(sigma, D, lambda, V, rotations);
    for (int d = 0; d < D; ++d)
        if (lambda[d][0] < 0.0) {
            (void)session;
            fatalExit("Covariance matrix is not positive definite. This error is fatal.");
        }
    Matrix M(D, D);  // diag(sqrt(lambda)) . V'
    for (int k = 0; k < D; ++k)
        for (int j = 0; j < D; ++j) M[k][j] = std::sqrt(lambda[k][0]) * V[j][k];
    return base * M;
}

int calcGwt(Session& session, EstimationWork& work, const Matrix& grid, const std::vector<double>& mean,
            const Matrix& sigma, const Vector& gwt) {
    const int D = work.D, Q = work.Q;
    work.sigmaInverse = identity(D);
    std::vector<double>& w = work.nodeWeights;
    w.resize(static_cast<std::size_t>(Q));
    if (work.method == EstimationMethod::MonteCarlo) {
        std::fill(w.begin(), w.end(), 1.0);
        return 1;
    }
    if (work.method == EstimationMethod::Gauss) {
        w = work.ghWeights;
        return 1;
    }
    if (work.discrete) {
        for (int q = 0; q < Q && q < gwt.rows(); ++q) at(w, q) = gwt[q][0];
        return 1;
    }
    double det;
    if (D == 1) {
        det = sigma[0][0];
        if (det != 0.0) work.sigmaInverse[0][0] = 1.0 / det;
    } else {
        Matrix inv(D, D);
        det = invertInto(sigma, inv);
        if (det != 0.0) work.sigmaInverse = inv;
    }
    if (det == 0.0) {
        session.errorReport("determinant=0 in calc_gwt");
        return -1;
    }
    double twoPi = 1.0;
    for (int d = 0; d < D; ++d) twoPi *= 6.283185307179586;
    work.normConst = 1.0 / std::sqrt(twoPi * det);
    std::vector<double> out(static_cast<std::size_t>(Q));
    std::vector<double> diff(static_cast<std::size_t>(D));
    double total = 0.0;
    for (int q = 0; q < Q; ++q) {
        for (int d = 0; d < D; ++d) at(diff, d) = grid[q][d] - at(mean, d);
        double m = 0.0;
        for (int j = 0; j < D; ++j)
            for (int k = 0; k < D; ++k) m += at(diff, j) * work.sigmaInverse[j][k] * at(diff, k);
        double v = work.normConst * std::exp(-0.5 * m);
        if (!(v >= 0.0)) return -1;
        at(out, q) = v;
        total += v;
    }
    if (!(total > 0.0)) return -1;
    for (int q = 0; q < Q; ++q) at(w, q) = at(out, q) / total;
    return 1;
}

int caseNodeWeights(const EstimationWork& work, const Matrix& grid, const std::vector<double>& mean,
                    std::vector<double>& weights) {
    const int D = work.D, Q = work.Q;
    weights.resize(static_cast<std::size_t>(Q));
    double total = 0.0;
    for (int q = 0; q < Q; ++q) {
        double m = 0.0;
        for (int j = 0; j < D; ++j) {
            double dj = grid[q][j] - at(mean, j);
            m += dj * dj * work.sigmaInverse[j][j];
            for (int k = j + 1; k < D; ++k) m += 2.0 * dj * (grid[q][k] - at(mean, k)) * work.sigmaInverse[j][k];
        }
        double v = work.normConst * std::exp(-0.5 * m);
        if (std::isnan(v)) return -1;
        at(weights, q) = v;
        total += v;
    }
    if (!(total > 0.0)) return -1;
    for (double& v : weights) v /= total;
    return 1;
}

std::vector<double> thetaColumns(const EstimationWork& work, const Matrix& grid, const std::vector<double>& shift) {
    std::vector<double> t(static_cast<std::size_t>(work.D) * work.Q);
    for (int d = 0; d < work.D; ++d) {
        double s = d < static_cast<int>(shift.size()) ? at(shift, d) : 0.0;
        double* column = t.data() + static_cast<std::size_t>(d) * work.Q;
        for (int q = 0; q < work.Q; ++q) column[q] = grid[q][d] + s;
    }
    return t;
}

void workingGrid(Session& session, EstimationWork& work, const EstimationState& est) {
    work.shift.assign(static_cast<std::size_t>(work.D), 0.0);
    if (work.method == EstimationMethod::Gauss) {
        work.workGrid = transformNodes(session, est.nodeGrid, est.sigma);
        for (int d = 0; d < work.D; ++d) at(work.shift, d) = est.beta[d][0];
    } else {
        work.workGrid = est.nodeGrid;
    }
}

int monteCarloPosteriorNodes(Session& session, EstimationWork& work, int draws, Matrix& nodes) {
    const EstimationState& est = session.ws.est;
    const int D = work.D;
    Matrix grid;
    float h = 0.0f;
    if (buildNodes(session, work, draws, 0.0f, 0.0f, grid, h) != 1) return -1;
    const int Q = work.Q;
    nodes = transformNodes(session, grid, est.sigma);
    if (work.R == 1)
        for (int q = 0; q < Q; ++q)
            for (int d = 0; d < D; ++d) nodes[q][d] += est.beta[d][0];
    work.likelihood.assign(static_cast<std::size_t>(Q), 0.0);
    work.posterior.assign(static_cast<std::size_t>(Q), 0.0);
    if (work.R == 1)
        updateProbabilities(session, work, nodes, std::vector<double>(static_cast<std::size_t>(D), 0.0));
    else
        monteCarloNumerators(work, nodes);
    return 1;
}

}  // namespace ordena
