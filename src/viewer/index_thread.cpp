#include "viewer/index_thread.h"

#include <utility>

namespace cifrovar {

IndexThread::IndexThread(std::unique_ptr<LineIndexer> indexer, std::function<void()> notify)
    : indexer_(std::move(indexer)), notify_(std::move(notify)), thread_([this] { run(); }) {}

IndexThread::~IndexThread() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    taken_.notify_all();
    thread_.join();
}

void IndexThread::run() {
    for (;;) {
        indexer_->read_slice(&stop_);
        IndexProgress progress = indexer_->take();
        const bool last = progress.done || progress.failed;
        {
            std::unique_lock lock(mutex_);
            taken_.wait(lock, [this] { return stop_ || !waiting_; });
            if (stop_) return;
            waiting_ = std::move(progress);
        }
        notify_();
        if (last) return;
    }
}

std::optional<IndexProgress> IndexThread::take() {
    std::optional<IndexProgress> progress;
    {
        const std::lock_guard lock(mutex_);
        progress.swap(waiting_);
    }
    taken_.notify_all();
    return progress;
}

}  // namespace cifrovar
