#include "bignum/work_progress.h"

#include <algorithm>
#include <cmath>

#include "bignum/cancel.h"
#include "bignum/fast_multiply.h"
#include "bignum/internal/product_in_halves.h"
#include "bignum/transforms/ntt_multiply.h"

namespace cifrovar {

namespace {

thread_local WorkProgress* counted_here = nullptr;

}  // namespace

WorkProgress::WorkProgress(double planned, std::function<void(double share)> tell,
                           const std::atomic<bool>* cancel)
    : planned_(planned), tell_(std::move(tell)), cancel_(cancel) {}

void WorkProgress::add(double work) {
    if (stopping()) throw Cancelled();
    const double done = done_.fetch_add(work, std::memory_order_relaxed) + work;
    if (!tell_ || planned_ <= 0) return;
    // The work of the other thread does not wait while one tells.
    std::unique_lock lock(telling_, std::try_to_lock);
    if (lock.owns_lock()) tell_(std::min(1.0, done / planned_));
}

bool WorkProgress::stopping() {
    if (cancel_ == nullptr || !cancel_->load(std::memory_order_relaxed)) return false;
    if (stop_.load(std::memory_order_relaxed)) return true;
    if (go_on_ && go_on_(done_.load(std::memory_order_relaxed))) return false;
    stop_ = true;
    return true;
}

double WorkProgress::share_done() const {
    return planned_ > 0 ? done_.load(std::memory_order_relaxed) / planned_ : 0;
}

CountingInto::CountingInto(WorkProgress* progress) : previous_(counted_here) {
    counted_here = progress;
}

CountingInto::~CountingInto() { counted_here = previous_; }

WorkProgress* work_counted_here() { return counted_here; }

void count_work(double work) {
    if (counted_here != nullptr) counted_here->add(work);
}

double word_products_work(double count) { return 14.0 * count; }

double decimal_product_work(size_t a_words, size_t b_words, bool square) {
    if (std::min(a_words, b_words) <= decimal_row_by_row_words)
        return word_products_work(static_cast<double>(a_words) * static_cast<double>(b_words));
    // Products too long for the transforms are taken in halves (see decimal_number.cpp).
    if (decimal_product_in_halves(a_words, b_words))
        return work_in_halves(
            a_words, b_words,
            [square](size_t x, size_t y) { return decimal_product_work(x, y, square); }, square);
    const double count = static_cast<double>(a_words + b_words);
    return count * std::log2(std::max(count, 2.0)) * (square ? 2.0 : 3.0);
}

}  // namespace cifrovar
