// Random generators whose streams are fixed by their seed: the same seed
// gives the same numbers on every run and every machine. Generators are
// values: a copy continues the same stream independently of the original.
#pragma once

#include <cstdint>
#include <vector>

#include "base/matrix.h"

namespace ordena {

// The whole state of a generator in words, for system files: a generator
// restored from it continues the stream where the saved one stood.
struct GeneratorState {
    std::vector<std::int32_t> ints;
    std::vector<double> reals;
    std::vector<Matrix> matrices;
};

// Uniform numbers on [low, high): L'Ecuyer's combined congruential generator
// with a Bays-Durham shuffle.
class RanUniform {
public:
    // Range 0 to 1; the shuffle table is built from state 1.
    RanUniform();
    RanUniform(double low, double high, std::int32_t seed);

    // Starts the stream of a new generator with the current bounds.
    void setseed(std::int32_t seed);
    double draw();
    double last() const { return last_; }
    double low() const { return low_; }
    double high() const { return high_; }

    GeneratorState state() const;
    // False, leaving the generator as it was, for words that are no state
    // of this generator (too few, too many, or values its stream never has).
    bool restore(const GeneratorState& state);

private:
    // Append the words of the state; restoreState takes them from the given
    // positions on and advances the positions.
    void saveState(GeneratorState& state) const;
    bool restoreState(const GeneratorState& state, std::size_t& ints, std::size_t& reals);

    friend class RanNormal;
    friend class RanMVNormal;

    // One value in (0, 1) from the combined generator.
    double core();

    std::int32_t state1_ = -1;
    double low_ = 0.0;
    double high_ = 1.0;
    std::int32_t shuffleOutput_ = 0;
    std::int32_t table_[32] = {};
    std::int32_t state2_ = 0;
    double last_ = 0.0;
};

// Normal deviates by Marsaglia's polar method; values come in pairs.
class RanNormal {
public:
    RanNormal() = default;
    explicit RanNormal(std::int32_t seed);
    RanNormal(double mean, double sd, std::int32_t seed);

    // Starts the stream of a new generator with the current mean and sd.
    void setseed(std::int32_t seed);
    // One standard normal deviate.
    double standard();
    // mean + sd * standard().
    double draw();
    double mean() const { return mean_; }
    double sd() const { return sd_; }

    GeneratorState state() const;
    bool restore(const GeneratorState& state);

private:
    void saveState(GeneratorState& state) const;
    bool restoreState(const GeneratorState& state, std::size_t& ints, std::size_t& reals);

    friend class RanMVNormal;

    double mean_ = 0.0;
    double sd_ = 1.0;
    bool spareAvailable_ = false;
    double spare_ = 0.0;
    RanUniform uniform_;
};

// Multivariate normal vectors through the eigen-decomposition of the
// covariance matrix.
class RanMVNormal {
public:
    // Mean 0, covariance the identity, dimension n.
    explicit RanMVNormal(int n);
    RanMVNormal(const Vector& mean, const Matrix& covariance, std::int32_t seed);

    // New mean and covariance; the stream goes on where it was. A length
    // mismatch or a covariance that is not positive (semi-)definite ends the
    // program.
    void setparameters(const Vector& mean, const Matrix& covariance);
    Vector draw();
    // Starts the stream of a new generator with the current parameters.
    void setseed(std::int32_t seed);

    int dimension() const { return dimension_; }
    const Vector& mean() const { return mean_; }
    const Matrix& covariance() const { return covariance_; }
    const Vector& eigenvalues() const { return eigenvalues_; }
    const Matrix& eigenvectors() const { return eigenvectors_; }

    GeneratorState state() const;
    bool restore(const GeneratorState& state);

private:
    void saveState(GeneratorState& state) const;
    bool restoreState(const GeneratorState& state, std::size_t& ints, std::size_t& reals);

    Vector mean_;
    Matrix covariance_;
    Vector eigenvalues_;
    Matrix eigenvectors_;
    int dimension_ = 0;
    RanNormal normal_;
};

}  // namespace ordena
