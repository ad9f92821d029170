// The result viewer on a long result: a file of pseudo-random digits (10,000,000 unless
// --digits N), or a result text already written (--file PATH, e.g. a factorial's digits from the
// command-line tool), is loaded into a DigitView on the offscreen platform, and the benchmark
// measures the load with the first full paint and the first answer of the event loop, End and
// PageUp while the index is still being built, the time until the index is whole with the
// longest stall of the event loop meanwhile (a 10 ms timer), 500 PageDown steps each with its
// repaint, select_all with copy (left out with --no-copy: the clipboard takes two bytes a
// character), and how much the process grew (VmRSS) per digit. --show keeps the view open in a
// window of the platform given (e.g. QT_QPA_PLATFORM=xcb) after the load, for a look by hand.

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPixmap>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>

#include "viewer/digit_view.h"

namespace {

// The resident size of this process in KiB, from /proc/self/status; -1 where unknown.
long long resident_kib() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::atoll(line.c_str() + 6);
    }
    return -1;
}

// Counts the paints of a widget, so that a step is known to have repainted.
class PaintCounter : public QObject {
  public:
    int paints = 0;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return QObject::eventFilter(watched, event);
    }
};

bool write_digits(const QString& path, long long digits) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    std::mt19937_64 random(20240601);
    QByteArray chunk;
    for (long long left = digits; left > 0;) {
        const long long count = std::min<long long>(left, 1 << 20);
        chunk.resize(count);
        for (char& c : chunk) c = static_cast<char>('0' + random() % 10);
        if (left == digits) chunk[0] = static_cast<char>('1' + random() % 9);  // no leading 0
        if (file.write(chunk) != count) return false;
        left -= count;
    }
    return true;
}

double ms(const QElapsedTimer& timer) { return timer.nsecsElapsed() / 1e6; }

// Runs the event loop until the view's index is whole; the longest gap between two ticks of a
// 10 ms timer meanwhile, in ms.
double wait_for_index(cifrovar::DigitView& view) {
    if (view.index_complete()) return 0;
    QEventLoop loop;
    QObject::connect(&view, &cifrovar::DigitView::index_completed, &loop, &QEventLoop::quit);
    QObject::connect(&view, &cifrovar::DigitView::load_failed, &loop, &QEventLoop::quit);
    QElapsedTimer gap;
    double longest = 0;
    QTimer tick;
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = std::max(longest, ms(gap));
        gap.restart();
    });
    gap.start();
    tick.start();
    loop.exec();
    return std::max(longest, ms(gap));
}

// A key pressed on the view and the repaint it asks for, in ms.
double press(cifrovar::DigitView& view, Qt::Key key) {
    QElapsedTimer timer;
    timer.start();
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &event);
    view.viewport()->repaint();
    return ms(timer);
}

int usage(const char* program) {
    std::fprintf(stderr,
                 "usage: %s [--digits N | --file PATH] [--no-copy] [--show]   (default 10000000)\n",
                 program);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    long long digits = 10000000;
    QString given_file;
    bool copy = true;
    bool show = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--show") == 0) {
            show = true;
            continue;
        }
        if (std::strcmp(argv[i], "--file") == 0 && i + 1 < argc) {
            given_file = QString::fromLocal8Bit(argv[++i]);
            continue;
        }
        if (std::strcmp(argv[i], "--no-copy") == 0) {
            copy = false;
            continue;
        }
        if (std::strcmp(argv[i], "--digits") == 0 && i + 1 < argc) {
            char* end = nullptr;
            digits = std::strtoll(argv[++i], &end, 10);
            if (*end != '\0' || digits < 1) return usage(argv[0]);
        } else {
            return usage(argv[0]);
        }
    }
    QApplication app(argc, argv);

    QTemporaryDir dir;
    const QString path = given_file.isEmpty() ? dir.filePath("digits.txt") : given_file;
    if (!given_file.isEmpty()) {
        digits = QFileInfo(path).size();
        if (digits < 1) return usage(argv[0]);
    } else if (!dir.isValid() || !write_digits(path, digits)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }

    cifrovar::DigitView view;
    view.resize(1000, 700);
    view.show();
    QCoreApplication::processEvents();
    PaintCounter counter;
    view.viewport()->installEventFilter(&counter);

    const long long rss_before = resident_kib();
    QElapsedTimer timer;
    QElapsedTimer since_load;
    timer.start();
    since_load.start();
    if (!view.load_file(path)) {
        std::fprintf(stderr, "cannot load %s\n", qPrintable(path));
        return 1;
    }
    const double load_only_ms = ms(timer);
    const long long rss_loaded = resident_kib();
    timer.restart();
    {
        const QPixmap first = view.grab();
        if (first.isNull() || counter.paints == 0) {
            std::fprintf(stderr, "the first paint did not happen\n");
            return 1;
        }
    }
    const double load_ms = load_only_ms + ms(timer);
    const long long rss_painted = resident_kib();
    // The window handles events: a posted call runs.
    {
        QEventLoop loop;
        QTimer::singleShot(0, &loop, &QEventLoop::quit);
        loop.exec();
    }
    const double answer_ms = ms(since_load);
    const bool building = !view.index_complete();
    if (show) {
        std::printf("first page painted after %.1f ms, the index %s\n", load_ms,
                    building ? "still being built" : "whole");
        std::fflush(stdout);
        QObject::connect(&view, &cifrovar::DigitView::index_completed, [&] {
            std::printf("index whole %.1f ms after the load began\n", ms(since_load));
            std::fflush(stdout);
        });
        view.setWindowTitle(QFileInfo(path).fileName());
        view.setFocus();
        return app.exec();
    }
    // End and PageUp while the index grows, then End again, which must end at the true end.
    const double end_ms = building ? press(view, Qt::Key_End) : 0;
    const double page_up_ms = building ? press(view, Qt::Key_PageUp) : 0;
    if (building) press(view, Qt::Key_End);
    const double stall_ms = wait_for_index(view);
    const double indexed_ms = ms(since_load);
    if (!view.index_complete()) {
        std::fprintf(stderr, "the index failed\n");
        return 1;
    }
    const long long rss_indexed = resident_kib();
    QScrollBar* bar = view.verticalScrollBar();
    if (building && bar->value() != bar->maximum()) {
        std::fprintf(stderr, "End while indexing did not end at the true end\n");
        return 1;
    }
    bar->setValue(0);

    // PageDown steps, each with its synchronous repaint; back to the top at the end.
    const int steps = 500;
    double step_max = 0;
    double step_total = 0;
    int wraps = 0;
    for (int i = 0; i < steps; ++i) {
        if (bar->value() == bar->maximum() && bar->maximum() > 0) {
            bar->setValue(0);
            ++wraps;
        }
        const int paints = counter.paints;
        const int value = bar->value();
        timer.restart();
        QKeyEvent down(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
        QCoreApplication::sendEvent(&view, &down);
        view.viewport()->repaint();
        const double step = ms(timer);
        const bool scrolled = bar->value() != value || bar->maximum() == 0;  // one page only
        if (!scrolled || counter.paints == paints) {
            std::fprintf(stderr, "PageDown step %d did not scroll or repaint\n", i);
            return 1;
        }
        step_max = std::max(step_max, step);
        step_total += step;
    }

    timer.restart();
    view.select_all();
    if (copy) view.copy();
    const double copy_ms = ms(timer);
    const long long copied = copy ? QGuiApplication::clipboard()->text().size() : digits;
    const long long rss_copied = resident_kib();
    if (copied != digits) {
        std::fprintf(stderr, "the clipboard holds %lld characters, not %lld\n", copied, digits);
        return 1;
    }

    const double per_digit_loaded = (rss_loaded - rss_before) * 1024.0 / digits;
    const double per_digit_painted = (rss_painted - rss_before) * 1024.0 / digits;
    const double per_digit_indexed = (rss_indexed - rss_before) * 1024.0 / digits;
    const double per_digit_copied = (rss_copied - rss_before) * 1024.0 / digits;
    std::printf("DigitView on %lld digits: %d columns, %d rows, %d rows a page\n", digits,
                view.columns(), view.visual_row_count(), bar->pageStep());
    std::printf("%-34s %12s\n", "measure", "value");
    std::printf("%-34s %12s\n", std::string(34, '-').c_str(), std::string(12, '-').c_str());
    std::printf("%-34s %9.1f ms\n", "load_file alone", load_only_ms);
    std::printf("%-34s %9.1f ms\n", "load_file + first full paint", load_ms);
    std::printf("%-34s %9.1f ms\n", "... + the event loop answers", answer_ms);
    if (building) {
        std::printf("%-34s %9.3f ms\n", "End + repaint while indexing", end_ms);
        std::printf("%-34s %9.3f ms\n", "PageUp + repaint while indexing", page_up_ms);
    }
    std::printf("%-34s %9.1f ms\n", "index whole (from the load)", indexed_ms);
    std::printf("%-34s %9.1f ms\n", "longest event-loop stall meanwhile", stall_ms);
    std::printf("%-34s %9.3f ms\n", "PageDown + repaint, mean of 500", step_total / steps);
    std::printf("%-34s %9.3f ms\n", "PageDown + repaint, maximum", step_max);
    if (copy) std::printf("%-34s %9.1f ms\n", "select_all + copy", copy_ms);
    std::printf("%-34s %9.3f B\n", "RSS growth per digit, loaded", per_digit_loaded);
    std::printf("%-34s %9.3f B\n", "RSS growth per digit, painted", per_digit_painted);
    std::printf("%-34s %9.3f B\n", "RSS growth per digit, indexed", per_digit_indexed);
    if (copy) std::printf("%-34s %9.3f B\n", "RSS growth per digit, copied too", per_digit_copied);
    if (wraps > 0) std::printf("(the 500 steps went back to the top %d times)\n", wraps);
    return 0;
}
