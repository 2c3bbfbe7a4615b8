#include "base/random.h"

#include <cmath>
#include <iterator>
#include <stdexcept>

#include "base/shell.h"

namespace ordena {

namespace {

constexpr std::int32_t kM1 = 2147483563;
constexpr std::int32_t kA1 = 40014;
constexpr std::int32_t kQ1 = 53668;
constexpr std::int32_t kR1 = 12211;
constexpr std::int32_t kM2 = 2147483399;
constexpr std::int32_t kA2 = 40692;
constexpr std::int32_t kQ2 = 52774;
constexpr std::int32_t kR2 = 3791;
constexpr std::int32_t kTableDivisor = 1 + (kM1 - 1) / 32;
constexpr double kScale = 4.656613057391769e-10;
constexpr double kCeiling = 0.99999988;
constexpr int kWarmUp = 16;
constexpr int kMaxPolarTries = 10000;

bool finite(double v) { return std::isfinite(v); }

bool finite(const Matrix& m) {
    for (int i = 0; i < m.rows(); ++i)
        for (int j = 0; j < m.columns(); ++j)
            if (!std::isfinite(m[i][j])) return false;
    return true;
}

// Schrage's method: (A * s) mod M without overflow. For 0 <= s <= INT32_MAX
// the pieces stay within int32 (A * Q <= M and k * R < M because R < Q), so
// the 64-bit form below only guards states that cannot arise.
std::int32_t schrage(std::int32_t s, std::int32_t a, std::int32_t q, std::int32_t r, std::int32_t m) {
    std::int64_t k = s / q;
    std::int64_t next = static_cast<std::int64_t>(a) * (s - k * q) - k * r;
    if (next < 0) next += m;
    return static_cast<std::int32_t>(next);
}

static_assert(static_cast<std::int64_t>(kA1) * kQ1 <= kM1 && kR1 < kQ1);
static_assert(static_cast<std::int64_t>(kA2) * kQ2 <= kM2 && kR2 < kQ2);

}  // namespace

// ---------------------------------------------------------------------------
// Uniform

RanUniform::RanUniform() { core(); }

RanUniform::RanUniform(double low, double high, std::int32_t seed) : low_(low), high_(high) {
    core();
    state1_ = seed;
    for (int i = 0; i < kWarmUp; ++i) draw();
}

void RanUniform::setseed(std::int32_t seed) { *this = RanUniform(low_, high_, seed); }

double RanUniform::core() {
    if (state1_ <= 0 || shuffleOutput_ == 0) {
        // Rebuild from the magnitude of the state. A zero state would stay
        // zero for ever (a constant stream), and -INT32_MIN does not exist:
        // both are taken as 1.
        std::int64_t start = -static_cast<std::int64_t>(state1_);
        if (start < 1 || start > INT32_MAX) start = 1;
        state1_ = static_cast<std::int32_t>(start);
        state2_ = state1_;
        for (int j = 39; j >= 0; --j) {
            state1_ = schrage(state1_, kA1, kQ1, kR1, kM1);
            if (j < 32) table_[j] = state1_;
        }
        shuffleOutput_ = table_[0];
    }
    state1_ = schrage(state1_, kA1, kQ1, kR1, kM1);
    state2_ = schrage(state2_, kA2, kQ2, kR2, kM2);
    int j = shuffleOutput_ / kTableDivisor;
    shuffleOutput_ = table_[j] - state2_;
    table_[j] = state1_;
    if (shuffleOutput_ < 1) shuffleOutput_ += kM1 - 1;
    double u = kScale * shuffleOutput_;
    return u > kCeiling ? kCeiling : u;
}

double RanUniform::draw() {
    last_ = low_ + core() * (high_ - low_);
    return last_;
}

// ---------------------------------------------------------------------------
// Normal

RanNormal::RanNormal(std::int32_t seed) : RanNormal(0.0, 1.0, seed) {}

RanNormal::RanNormal(double mean, double sd, std::int32_t seed) : mean_(mean), sd_(sd) {
    uniform_.state1_ = seed;
    for (int i = 0; i < kWarmUp; ++i) standard();
}

void RanNormal::setseed(std::int32_t seed) { *this = RanNormal(mean_, sd_, seed); }

double RanNormal::standard() {
    if (spareAvailable_) {
        spareAvailable_ = false;
        return spare_;
    }
    double x1;
    double x2;
    double r;
    // A pair falls inside the unit circle with probability pi/4, so a
    // bound this large is never met by a working generator; it ends the
    // statement instead of a loop without end.
    int tries = 0;
    do {
        if (++tries > kMaxPolarTries)
            throw std::runtime_error("the normal random number generator gives no usable numbers");
        x1 = 2.0 * uniform_.draw() - 1.0;
        x2 = 2.0 * uniform_.draw() - 1.0;
        r = x2 * x2 + x1 * x1;
    } while (r >= 1.0 || r == 0.0);
    double f = std::sqrt(-2.0 * std::log(r) / r);
    spare_ = x1 * f;
    spareAvailable_ = true;
    return x2 * f;
}

double RanNormal::draw() { return mean_ + sd_ * standard(); }

// ---------------------------------------------------------------------------
// Multivariate normal

RanMVNormal::RanMVNormal(int n)
    : mean_(zeroVector(n)), covariance_(identity(n)), eigenvalues_(onesVector(n)), eigenvectors_(identity(n)),
      dimension_(n) {}

RanMVNormal::RanMVNormal(const Vector& mean, const Matrix& covariance, std::int32_t seed)
    : mean_(mean), covariance_(covariance), dimension_(mean.rows()) {
    int rotations = 0;
    jacobiEigen(covariance_, covariance_.rows(), eigenvalues_, eigenvectors_, rotations);
    normal_.uniform_.state1_ = seed;
    for (int i = 0; i < kWarmUp; ++i) draw();
}

void RanMVNormal::setparameters(const Vector& mean, const Matrix& covariance) {
    if (mean.rows() != covariance.rows() || covariance.rows() != covariance.columns())
        fatalExit("Parameter length mismatch in 'RanMVNormal::setparameters'");
    dimension_ = covariance.rows();
    mean_ = mean;
    covariance_ = covariance;
    int rotations = 0;
    jacobiEigen(covariance_, dimension_, eigenvalues_, eigenvectors_, rotations);
    for (int i = 0; i < eigenvalues_.rows(); ++i) {
        // A value that is not a number is no variance either.
        if (!(eigenvalues_[i][0] >= 0.0))
            fatalExit("Matrix in multivariate normal random number generator is not positive definite");
    }
}

Vector RanMVNormal::draw() {
    Vector z(dimension_);
    for (int i = 0; i < dimension_; ++i) z[i][0] = normal_.draw();
    // Shapes that do not fit (a covariance given without checks) come out
    // as the messages of the products below, never as a read out of range.
    Matrix d(dimension_, dimension_);
    for (int i = 0; i < dimension_ && i < eigenvalues_.rows(); ++i) d[i][i] = std::sqrt(eigenvalues_[i][0]);
    return (eigenvectors_ * d) * z + mean_;
}

void RanMVNormal::setseed(std::int32_t seed) { *this = RanMVNormal(mean_, covariance_, seed); }

// ---------------------------------------------------------------------------
// Saved states

GeneratorState RanUniform::state() const {
    GeneratorState state;
    saveState(state);
    return state;
}

GeneratorState RanNormal::state() const {
    GeneratorState state;
    saveState(state);
    return state;
}

GeneratorState RanMVNormal::state() const {
    GeneratorState state;
    saveState(state);
    return state;
}

// Every word must be used: a state with words to spare is not this
// generator's.
bool RanUniform::restore(const GeneratorState& state) {
    std::size_t i = 0, r = 0;
    RanUniform g = *this;
    if (!state.matrices.empty() || !g.restoreState(state, i, r) || i != state.ints.size() || r != state.reals.size())
        return false;
    *this = g;
    return true;
}

bool RanNormal::restore(const GeneratorState& state) {
    std::size_t i = 0, r = 0;
    RanNormal g = *this;
    if (!state.matrices.empty() || !g.restoreState(state, i, r) || i != state.ints.size() || r != state.reals.size())
        return false;
    *this = g;
    return true;
}

bool RanMVNormal::restore(const GeneratorState& state) {
    std::size_t i = 0, r = 0;
    RanMVNormal g = *this;
    if (!g.restoreState(state, i, r) || i != state.ints.size() || r != state.reals.size()) return false;
    *this = std::move(g);
    return true;
}

void RanUniform::saveState(GeneratorState& state) const {
    state.ints.push_back(state1_);
    state.ints.push_back(state2_);
    state.ints.push_back(shuffleOutput_);
    state.ints.insert(state.ints.end(), std::begin(table_), std::end(table_));
    state.reals.push_back(low_);
    state.reals.push_back(high_);
    state.reals.push_back(last_);
}

bool RanUniform::restoreState(const GeneratorState& state, std::size_t& ints, std::size_t& reals) {
    constexpr std::size_t kInts = 3 + 32, kReals = 3;
    if (state.ints.size() < ints + kInts || state.reals.size() < reals + kReals) return false;
    const std::int32_t* w = state.ints.data() + ints;
    // The shuffle picks a table entry by the output, and the output is a
    // table entry less the second state: these ranges keep both in bounds
    // and free of overflow. A first state of 0 or below is rebuilt by core().
    if (w[1] < 0 || w[1] >= kM2 || w[2] < 0 || w[2] >= kM1) return false;
    for (int j = 0; j < 32; ++j)
        if (w[3 + j] < 1 || w[3 + j] >= kM1) return false;
    // Bounds that are no interval give no uniform numbers.
    const double low = state.reals[reals], high = state.reals[reals + 1], last = state.reals[reals + 2];
    if (!finite(low) || !finite(high) || !finite(last) || !(low < high)) return false;
    state1_ = w[0];
    state2_ = w[1];
    shuffleOutput_ = w[2];
    for (int j = 0; j < 32; ++j) table_[j] = w[3 + j];
    low_ = state.reals[reals];
    high_ = state.reals[reals + 1];
    last_ = state.reals[reals + 2];
    ints += kInts;
    reals += kReals;
    return true;
}

void RanNormal::saveState(GeneratorState& state) const {
    state.ints.push_back(spareAvailable_ ? 1 : 0);
    state.reals.push_back(mean_);
    state.reals.push_back(sd_);
    state.reals.push_back(spare_);
    uniform_.saveState(state);
}

bool RanNormal::restoreState(const GeneratorState& state, std::size_t& ints, std::size_t& reals) {
    if (state.ints.size() < ints + 1 || state.reals.size() < reals + 3) return false;
    const std::int32_t spare = state.ints[ints];
    if (spare != 0 && spare != 1) return false;
    const double mean = state.reals[reals], sd = state.reals[reals + 1], spareValue = state.reals[reals + 2];
    if (!finite(mean) || !finite(sd) || !(sd >= 0.0) || !finite(spareValue)) return false;
    std::size_t i = ints + 1, r = reals + 3;
    RanUniform uniform = uniform_;
    if (!uniform.restoreState(state, i, r)) return false;
    // The polar method draws pairs on (-1, 1): its uniform is always on [0, 1).
    if (uniform.low_ != 0.0 || uniform.high_ != 1.0) return false;
    spareAvailable_ = spare == 1;
    mean_ = state.reals[reals];
    sd_ = state.reals[reals + 1];
    spare_ = state.reals[reals + 2];
    uniform_ = uniform;
    ints = i;
    reals = r;
    return true;
}

void RanMVNormal::saveState(GeneratorState& state) const {
    state.ints.push_back(dimension_);
    state.matrices.push_back(mean_);
    state.matrices.push_back(covariance_);
    state.matrices.push_back(eigenvalues_);
    state.matrices.push_back(eigenvectors_);
    normal_.saveState(state);
}

bool RanMVNormal::restoreState(const GeneratorState& state, std::size_t& ints, std::size_t& reals) {
    // The dimension sizes each draw; the matrices may be any shape (draw()
    // reports shapes that do not fit), except that the two vectors are
    // columns.
    constexpr std::int32_t kMaxDimension = 10000;
    if (state.ints.size() < ints + 1 || state.matrices.size() != 4) return false;
    const std::int32_t dimension = state.ints[ints];
    if (dimension < 1 || dimension > kMaxDimension) return false;
    const Matrix& mean = state.matrices[0];
    const Matrix& eigenvalues = state.matrices[2];
    if ((!mean.isEmpty() && mean.columns() != 1) || (!eigenvalues.isEmpty() && eigenvalues.columns() != 1))
        return false;
    for (const Matrix& m : state.matrices)
        if (!finite(m)) return false;
    for (int k = 0; k < eigenvalues.rows(); ++k)
        if (!(eigenvalues[k][0] >= 0.0)) return false;
    std::size_t i = ints + 1, r = reals;
    RanNormal normal = normal_;
    if (!normal.restoreState(state, i, r)) return false;
    dimension_ = dimension;
    mean_ = Vector();
    if (!mean.isEmpty()) mean_ = mean;
    covariance_ = state.matrices[1];
    eigenvalues_ = Vector();
    if (!eigenvalues.isEmpty()) eigenvalues_ = eigenvalues;
    eigenvectors_ = state.matrices[3];
    normal_ = normal;
    ints = i;
    reals = r;
    return true;
}

}  // namespace ordena
