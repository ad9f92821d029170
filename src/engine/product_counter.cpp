#include "engine/product_counter.h"

#include <algorithm>
#include <cmath>

namespace cifrovar {

void ProductCounter::push(BigValue&& chunk, std::chrono::steady_clock::time_point deadline) {
    parts_.push_back(Partial{std::move(chunk), 0});
    merge_affordable(deadline);
}

void ProductCounter::merge_affordable(std::chrono::steady_clock::time_point deadline) {
    for (size_t i = 0; i + 1 < parts_.size();) {
        if (parts_[i].rank != parts_[i + 1].rank) {
            ++i;
            continue;
        }
        BigValue& low = parts_[i].value;
        const BigValue& high = parts_[i + 1].value;
        const double limbs = static_cast<double>(word_count(low) + word_count(high));
        const double weight = limbs * std::log2(limbs + 2);
        const auto start = std::chrono::steady_clock::now();
        const std::chrono::duration<double> left = deadline - start;
        if (1.5 * seconds_per_limb_ * weight > std::max(left.count(), 0.02)) {
            ++i;
            continue;
        }
        multiply(low, low, high);
        ++parts_[i].rank;
        parts_.erase(parts_.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        seconds_per_limb_ = std::max(seconds_per_limb_, took.count() / weight);
        i = 0;  // the merged partial may now pair with an older one
    }
}

void ProductCounter::multiply_into(BigValue& out) {
    while (parts_.size() >= 2) {
        Partial top = std::move(parts_.back());
        parts_.pop_back();
        multiply(parts_.back().value, parts_.back().value, top.value);
    }
    if (!parts_.empty()) multiply(out, out, parts_.back().value);
    parts_.clear();
}

double ProductCounter::log10_product() const {
    double sum = 0;
    for (const Partial& p : parts_) sum += log10_of(p.value);
    return sum;
}

}  // namespace cifrovar
