#include "estimation/case_classes.h"

#include <algorithm>
#include <cstring>

#include "base/index.h"

namespace ordena {

bool classesApply(const EstimationWork& work) {
    if (work.generalPath) return false;
    if (work.method == EstimationMethod::Jml) return false;
    return true;
}

std::vector<double> CaseClasses::patternTerms(const std::vector<double>& axsi, double weightFactor) const {
    std::vector<double> out(static_cast<std::size_t>(count()), 0.0);
    for (int c = 0; c < count(); ++c) {
        const std::int32_t* item = itemsOf(c);
        const std::int32_t* category = categoriesOf(c);
        const double* w = categoryWeights.data() + start[static_cast<std::size_t>(c)] * maxCat;
        double representative = 0.0, all = 0.0;
        for (int j = 0; j < responses(c); ++j) {
            const double* a = axsi.data() + static_cast<std::size_t>(item[j]) * maxCat;
            representative += a[category[j]];
            for (int k = 0; k < maxCat; ++k)
                if (w[j * maxCat + k] != 0.0) all += w[j * maxCat + k] * a[k];
        }
        at(out, c) = weightFactor * (all - weightOf(c) * representative);
    }
    return out;
}

CaseClassBuilder::CaseClassBuilder(const EstimationWork& work, std::int64_t cases, std::int64_t responses,
                                   double pays)
    : work_(work), budget_(pays * static_cast<double>(responses + 2 * cases)),
      classes_(std::make_unique<CaseClasses>()) {
    classes_->D = work.D;
    classes_->R = work.R;
    classes_->maxCat = work.maxCat;
    classes_->classOf.assign(static_cast<std::size_t>(std::max<std::int64_t>(0, cases)), -1);
    score_.resize(static_cast<std::size_t>(work.D));
    y_.resize(static_cast<std::size_t>(work.R));
}

void CaseClassBuilder::giveUp() {
    givenUp_ = true;
    classes_.reset();
    firstWithHash_ = {};
    nextWithHash_ = {};
}

namespace {

// One step of a 64-bit mix (the finaliser of splitmix64) over the values
// that make a key.
std::uint64_t mix(std::uint64_t h, std::uint64_t v) {
    h ^= v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
    h ^= h >> 30;
    h *= 0xbf58476d1ce4e5b9ULL;
    h ^= h >> 27;
    h *= 0x94d049bb133111ebULL;
    return h ^ (h >> 31);
}

std::uint64_t bitsOf(double v) {
    std::uint64_t u;
    std::memcpy(&u, &v, sizeof u);
    return u;
}

}  // namespace

std::uint64_t CaseClassBuilder::keyHash(int m) const {
    std::uint64_t h = mix(0, static_cast<std::uint64_t>(m));
    for (int r = 0; r < m; ++r) h = mix(h, static_cast<std::uint64_t>(at(sorted_, r).first));
    for (double s : score_) h = mix(h, bitsOf(s));
    for (std::size_t r = 1; r < y_.size(); ++r) h = mix(h, bitsOf(y_[r]));
    return h;
}

bool CaseClassBuilder::sameKey(int c, int m) const {
    const CaseClasses& k = *classes_;
    if (k.responses(c) != m) return false;
    const std::int32_t* items = k.itemsOf(c);
    for (int r = 0; r < m; ++r)
        if (items[r] != at(sorted_, r).first) return false;
    const double* s = k.scoresOf(c);
    for (int d = 0; d < k.D; ++d)
        if (bitsOf(s[d]) != bitsOf(at(score_, d))) return false;
    const double* y = k.recordOf(c) + 1;
    for (int r = 1; r < k.R; ++r)
        if (bitsOf(y[r]) != bitsOf(at(y_, r))) return false;
    return true;
}

void CaseClassBuilder::add(int caseNumber, const std::int32_t* items, const std::int32_t* categories, int m,
                           const double* record) {
    if (givenUp_) return;
    CaseClasses& k = *classes_;
    const int D = k.D, R = k.R, maxCat = k.maxCat;
    if (caseNumber < 0 || static_cast<std::size_t>(caseNumber) >= k.classOf.size() || at(k.classOf, caseNumber) >= 0) {
        giveUp();
        return;
    }
    const double w = record ? record[0] : 1.0;
    if (w == 0.0) m = 0;
    // The scores summed in the order of the responses, as the case scores
    // are: every case of a class has the same scores to the bit.
    std::fill(score_.begin(), score_.end(), 0.0);
    sorted_.clear();
    for (int r = 0; r < m; ++r) {
        const int i = items[r], x = categories[r];
        if (i < 0 || i >= work_.I || x < 0 || x >= maxCat) {
            giveUp();
            return;
        }
        sorted_.emplace_back(i, x);
        const double* b = work_.scoreRow(i, x);
        for (int d = 0; d < D; ++d) at(score_, d) += b[d];
    }
    if (!std::is_sorted(sorted_.begin(), sorted_.end())) std::sort(sorted_.begin(), sorted_.end());
    for (int r = 0; r < R; ++r) at(y_, r) = record ? record[1 + r] : (r == 0 ? 1.0 : 0.0);

    const std::uint64_t hash = keyHash(m);
    int c = -1;
    const auto found = firstWithHash_.find(hash);
    if (found != firstWithHash_.end())
        for (int e = found->second; e >= 0; e = at(nextWithHash_, e))
            if (sameKey(e, m)) {
                c = e;
                break;
            }
    if (c < 0) {
        spent_ += m + 2;
        if (spent_ > budget_) {
            giveUp();
            return;
        }
        c = k.count();
        for (const auto& [i, x] : sorted_) {
            k.items.push_back(i);
            k.categories.push_back(x);
        }
        k.start.push_back(k.items.size());
        k.records.push_back(0.0);
        k.records.insert(k.records.end(), y_.begin(), y_.end());
        k.cases.push_back(0);
        k.scores.insert(k.scores.end(), score_.begin(), score_.end());
        k.categoryWeights.resize(k.items.size() * static_cast<std::size_t>(maxCat), 0.0);
        if (found != firstWithHash_.end()) {
            nextWithHash_.push_back(found->second);
            found->second = c;
        } else {
            nextWithHash_.push_back(-1);
            firstWithHash_.emplace(hash, c);
        }
    }
    k.records[static_cast<std::size_t>(c) * (R + 1)] += w;
    if (w != 0.0) ++at(k.cases, c);
    double* cw = k.categoryWeights.data() + k.start[static_cast<std::size_t>(c)] * maxCat;
    for (int j = 0; j < m; ++j) cw[j * maxCat + at(sorted_, j).second] += w;
    k.caseNumbers.push_back(caseNumber);
    k.caseClass.push_back(c);
    at(k.classOf, caseNumber) = c;
}

std::shared_ptr<const CaseClasses> CaseClassBuilder::finish() {
    if (givenUp_ || !classes_) return nullptr;
    firstWithHash_ = {};
    nextWithHash_ = {};
    return std::shared_ptr<const CaseClasses>(std::move(classes_));
}

}  // namespace ordena
