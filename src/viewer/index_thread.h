#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "viewer/line_index.h"

namespace cifrovar {

// Goes on with an index on a thread of its own, slice by slice, while the view shows what is
// indexed so far. Each slice's progress waits until it is taken; the thread reads one slice
// ahead of that at most, so that a busy taker holds back the reading rather than a growing heap
// of segments.
class IndexThread {
  public:
    // notify is called on the thread each time a slice's progress waits to be taken; it must only
    // post the taking to the taker's own thread.
    IndexThread(std::unique_ptr<LineIndexer> indexer, std::function<void()> notify);
    // Stops the thread between two chunks and waits for it: the indexer's file is closed, and
    // notify is not called any more, once it returns.
    ~IndexThread();
    IndexThread(const IndexThread&) = delete;
    IndexThread& operator=(const IndexThread&) = delete;

    // What the slices read since the last take found; nothing while the next slice is still
    // being read.
    std::optional<IndexProgress> take();

  private:
    void run();

    std::unique_ptr<LineIndexer> indexer_;
    std::function<void()> notify_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable taken_;
    std::optional<IndexProgress> waiting_;
    std::thread thread_;  // last: started once everything it uses is there
};

}  // namespace cifrovar
