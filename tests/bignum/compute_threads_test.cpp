// The priority given to computing threads reaches the ones running and the ones still to
// come, leaves every other thread where it was, and a thread that may not be raised again
// keeps its value only until it ends.
#include "bignum/compute_threads.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <future>
#include <optional>
#include <thread>

#include "support/without_nice_rights.h"

namespace cifrovar::testing {
namespace {

int nice_of(int thread) {
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(thread));
    return nice == -1 && errno != 0 ? 1000 : nice;
}

int own_nice() { return nice_of(static_cast<int>(::gettid())); }

// A computing thread that runs until it is let go.
class Computing {
  public:
    Computing() {
        std::promise<int> id;
        std::future<int> published = id.get_future();
        thread_ = std::thread([this, &id] {
            const ComputeThread computing;
            id.set_value(static_cast<int>(::gettid()));
            done_.get_future().wait();
        });
        id_ = published.get();
    }
    ~Computing() {
        done_.set_value();
        thread_.join();
    }
    int nice() const { return nice_of(id_); }

  private:
    std::promise<void> done_;
    std::thread thread_;
    int id_ = 0;
};

TEST(ComputeThreads, TheValueReachesRunningAndLaterThreadsOnly) {
    const int start = own_nice();
    if (start > 14) GTEST_SKIP() << "the process runs too low to go lower";
    const int lower = start + 5;
    {
        Computing running;
        EXPECT_EQ(running.nice(), start);
        EXPECT_TRUE(set_compute_nice(lower));
        EXPECT_EQ(running.nice(), lower);
        EXPECT_EQ(running_compute_nice(), std::optional<int>(lower));
        Computing later;
        EXPECT_EQ(later.nice(), lower);
        EXPECT_EQ(own_nice(), start);

        const WithoutNiceRights ordinary_user;
        if (!ordinary_user.hold()) GTEST_SKIP() << "the right to raise priorities stays";
        // Threads that were lowered cannot come back, but the next ones start where asked.
        EXPECT_FALSE(set_compute_nice(start));
        EXPECT_EQ(running.nice(), lower);
        EXPECT_EQ(compute_nice(), std::optional<int>(start));
        Computing next;
        EXPECT_EQ(next.nice(), start);
        EXPECT_EQ(running_compute_nice(), std::optional<int>(lower));
    }
    EXPECT_EQ(running_compute_nice(), std::nullopt);
    EXPECT_EQ(own_nice(), start);
}

}  // namespace
}  // namespace cifrovar::testing
