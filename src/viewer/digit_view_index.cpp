// The view's index while it grows: the first slice read by load_file, the rest taken from the
// index thread slice by slice.

#include <sys/mman.h>

#include <QFile>
#include <QScrollBar>
#include <algorithm>

#include "viewer/digit_view.h"
#include "viewer/index_thread.h"

namespace cifrovar {

void DigitView::set_slice_bytes(qint64 bytes) { slice_bytes_ = std::max<qint64>(1, bytes); }

bool DigitView::index_complete() const { return !indexing_ && known_end_ == size_; }

void DigitView::stop_indexing() { indexing_.reset(); }

// The first slice is indexed here, before anything is shown; a text longer than that goes on
// indexing on a thread. False when the first slice could not be read.
bool DigitView::start_index(std::unique_ptr<QFile> lines) {
    auto indexer = std::make_unique<LineIndexer>(std::move(lines), size_, slice_bytes_);
    indexer->read_slice();
    IndexProgress first = indexer->take();
    if (first.failed) return false;
    const bool done = first.done;
    apply_index(std::move(first));
    if (done) return true;
    const quint64 generation = generation_;
    indexing_ = std::make_unique<IndexThread>(std::move(indexer), [this, generation] {
        QMetaObject::invokeMethod(
            this, [this, generation] { take_index(generation); }, Qt::QueuedConnection);
    });
    return true;
}

// The provisional segments give way to what the index found since; the rows before them keep
// their numbers, so only the new segments are laid out.
void DigitView::apply_index(IndexProgress progress) {
    const size_t kept = segments_.size() - static_cast<size_t>(provisional_);
    qint64 rows = provisional_ > 0 ? segments_[kept].first_row : total_rows_;
    segments_.resize(kept);
    const auto append = [&](const std::vector<Segment>& found) {
        for (Segment segment : found) {
            segment.first_row = rows;
            rows += segment_rows(segment);
            segments_.push_back(segment);
        }
    };
    append(progress.closed);
    append(progress.open);
    provisional_ = static_cast<int>(progress.open.size());
    total_rows_ = rows;
    known_end_ = progress.known_end;
    if (progress.done) segments_.shrink_to_fit();
}

// Painting maps the pages of the rows shown, and the kernel maps a whole large folio of the page
// cache around each (up to 2 MiB): a view that follows the index's end through gigabytes would
// hold them all. The pages of the whole 2 MiB blocks from `from` up to `to` are let go; they stay
// in the page cache and come back when painted again.
void DigitView::release_pages(qint64 from, qint64 to) {
    constexpr qint64 block = qint64{2} << 20;
    const auto base = reinterpret_cast<quintptr>(data_);
    // The mapping starts on a page, not necessarily on a block: nothing before it is touched.
    const qint64 first =
        std::max(static_cast<qint64>(base), (static_cast<qint64>(base) + from) / block * block);
    const qint64 last = (static_cast<qint64>(base) + to) / block * block;
    if (last > first) {
        ::madvise(reinterpret_cast<void*>(first), static_cast<size_t>(last - first), MADV_DONTNEED);
    }
}

// On the view's thread, posted by the index thread once a slice waits.
void DigitView::take_index(quint64 generation) {
    if (generation != generation_ || !indexing_) return;
    std::optional<IndexProgress> progress = indexing_->take();
    if (!progress) return;
    if (progress->failed) {
        reset_text();
        relayout(true);
        viewport()->update();
        emit selection_changed();
        emit load_failed();
        return;
    }
    const bool done = progress->done;
    // The new rows show at once only where the known rows end inside the viewport.
    const bool end_shown = total_rows_ <= top_row() + page_rows();
    apply_index(std::move(*progress));
    if (done) indexing_.reset();
    update_scroll_bar();
    QScrollBar* bar = verticalScrollBar();
    if (follow_end_) {
        const qint64 left = top_offset_;
        bar->setValue(bar->maximum());
        release_pages(left, top_offset_);
    }
    if (end_shown) viewport()->update();
    if (done) emit index_completed();
}

}  // namespace cifrovar
