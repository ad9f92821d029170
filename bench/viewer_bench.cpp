// The result viewer on a long result: a file of pseudo-random digits (10,000,000 unless
// --digits N), or a result text already written (--file PATH, e.g. a factorial's digits from the
// command-line tool), is loaded into a DigitView on the offscreen platform, and the benchmark
// measures the load with the first full paint, 500 PageDown steps each with its repaint,
// select_all with copy (left out with --no-copy: the clipboard takes two bytes a character), and
// how much the process grew (VmRSS) per digit.

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPixmap>
#include <QScrollBar>
#include <QTemporaryDir>
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

int usage(const char* program) {
    std::fprintf(stderr, "usage: %s [--digits N | --file PATH] [--no-copy]   (default 10000000)\n",
                 program);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    long long digits = 10000000;
    QString given_file;
    bool copy = true;
    for (int i = 1; i < argc; ++i) {
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
    timer.start();
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

    // PageDown steps, each with its synchronous repaint; back to the top at the end.
    const int steps = 500;
    double step_max = 0;
    double step_total = 0;
    int wraps = 0;
    QScrollBar* bar = view.verticalScrollBar();
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
    const double per_digit_copied = (rss_copied - rss_before) * 1024.0 / digits;
    std::printf("DigitView on %lld digits: %d columns, %d rows, %d rows a page\n", digits,
                view.columns(), view.visual_row_count(), bar->pageStep());
    std::printf("%-34s %12s\n", "measure", "value");
    std::printf("%-34s %12s\n", std::string(34, '-').c_str(), std::string(12, '-').c_str());
    std::printf("%-34s %9.1f ms\n", "load_file alone", load_only_ms);
    std::printf("%-34s %9.1f ms\n", "load_file + first full paint", load_ms);
    std::printf("%-34s %9.3f ms\n", "PageDown + repaint, mean of 500", step_total / steps);
    std::printf("%-34s %9.3f ms\n", "PageDown + repaint, maximum", step_max);
    if (copy) std::printf("%-34s %9.1f ms\n", "select_all + copy", copy_ms);
    std::printf("%-34s %9.3f B\n", "RSS growth per digit, loaded", per_digit_loaded);
    std::printf("%-34s %9.3f B\n", "RSS growth per digit, painted", per_digit_painted);
    if (copy) std::printf("%-34s %9.3f B\n", "RSS growth per digit, copied too", per_digit_copied);
    if (wraps > 0) std::printf("(the 500 steps went back to the top %d times)\n", wraps);
    return 0;
}
