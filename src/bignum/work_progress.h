#pragma once

// How far a long computation of one value has got, told from inside
// its products while they run, so that the status can move and an interrupt is seen within
// one transform instead of one level of the computation.
#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>

namespace cifrovar {

class WorkProgress {
  public:
    // planned: the work of the whole computation in the units of decimal_product_work();
    // tell(share) hears the share done so far, from 0 to at most 1, on whichever thread did
    // the work, one call at a time. A raised cancel flag stops the computation at its next
    // piece of work counted.
    WorkProgress(double planned, std::function<void(double share)> tell,
                 const std::atomic<bool>* cancel);
    // Counts work done; throws Cancelled when the cancel flag is raised and the computation
    // is to stop.
    void add(double work);
    // The share done so far, not bounded by 1.
    double share_done() const;

    // Asked with the work done at each piece of work while the cancel flag is raised, from
    // either thread: true lets the computation go on (to a step it keeps, where it stops by
    // itself); the first false stops it for good. Set before the work.
    void go_on_when(std::function<bool(double done)> decide) { go_on_ = std::move(decide); }
    // Raised once the computation is to stop: the flag for the computation's own checks
    // between its products, which must agree with add().
    const std::atomic<bool>* stop_flag() const { return &stop_; }

  private:
    bool stopping();

    const double planned_;
    const std::function<void(double)> tell_;
    const std::atomic<bool>* const cancel_;
    std::function<bool(double)> go_on_;
    std::atomic<bool> stop_{false};
    std::atomic<double> done_{0};
    std::mutex telling_;
};

// While it lives, the work counted on this thread, and on the threads that side_by_side
// starts from it, goes to progress (or nowhere for nullptr).
class CountingInto {
  public:
    explicit CountingInto(WorkProgress* progress);
    ~CountingInto();
    CountingInto(const CountingInto&) = delete;
    CountingInto& operator=(const CountingInto&) = delete;

  private:
    WorkProgress* previous_;
};

// The progress that work on this thread counts into, if any.
WorkProgress* work_counted_here();

// Adds work to the progress counted on this thread, if there is one.
void count_work(double work);

// The work of count products of a word by a word, each with its division by 10^18: a pass by
// a small number, or a product row by row. It is counted at what the transforms count in the
// same time (a pass over 500 million words took 2 s, in which the squarings of
// 999999999^999999999 count about 7e9).
double word_products_work(double count);
// The work of a decimal product of a_words by b_words as its transforms count it: about
// (a + b) log2(a + b) for each of three transforms per prime, two for a square; row by row
// where a factor is short, a word product for each pair of words.
double decimal_product_work(size_t a_words, size_t b_words, bool square);

}  // namespace cifrovar
