// How the window behaves under big work: the longest stall of the GUI thread's event loop
// during a run of 1000000! and the rendering of its result for the viewer, during runs that
// write backups of millions of digits and how long they keep the user's input back, how soon
// "Přerušit" ends a run, how often the status moves in a long run, and how fast the viewer shows,
// scrolls and copies a 10-million-digit result. A 10 ms timer on the GUI thread measures the
// stalls: every gap between two of its ticks beyond its interval is time in which the window could
// not handle a message. Key presses posted every 10 ms measure how long the window drops its user's
// input. With --big-state FILE N INTERVAL it measures only a factorial's state of billions of
// digits: opened from FILE, continued to N! with a backup every INTERVAL steps, and saved.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "engine/engine.h"
#include "gui_support/scripted_prompts.h"
#include "output/render_result.h"
#include "shell/main_window.h"
#include "viewer/digit_view.h"
#include "viewer/result_viewer.h"

using cifrovar::Thlavni;

namespace {

// Records the longest gap between ticks of a 10 ms timer while it runs.
class StallMeter {
  public:
    StallMeter() {
        QObject::connect(&timer_, &QTimer::timeout,
                         [this] { longest_ = std::max(longest_, since_.restart()); });
    }
    void start() {
        longest_ = 0;
        since_.start();
        timer_.start(10);
    }
    qint64 stop() {
        timer_.stop();
        return std::max(longest_, since_.elapsed());
    }

  private:
    QTimer timer_;
    QElapsedTimer since_;
    qint64 longest_ = 0;
};

// Records the longest gap between key presses that reach it, posted every 10 ms while it runs;
// a gap beyond that is time in which user input was dropped.
class InputMeter : public QObject {
  public:
    InputMeter() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QCoreApplication::postEvent(this, new QKeyEvent(QEvent::KeyPress, Qt::Key_A, {}));
        });
    }
    void start() {
        longest_ = 0;
        since_.start();
        timer_.start(10);
    }
    qint64 stop() {
        timer_.stop();
        return std::max(longest_, since_.elapsed());
    }

  protected:
    bool event(QEvent* e) override {
        if (e->type() != QEvent::KeyPress) return QObject::event(e);
        longest_ = std::max(longest_, since_.restart());
        return true;
    }

  private:
    QTimer timer_;
    QElapsedTimer since_;
    qint64 longest_ = 0;
};

void click(Thlavni& w, const char* name) { w.findChild<QAbstractButton*>(name)->click(); }

void factorial(Thlavni& w, const char* n) {
    click(w, "u_uvod");
    click(w, "u_faktorial");
    w.findChild<QLineEdit*>("fkt_zadani")->setText(n);
    click(w, "tlacitko");
}

void stall_during_run_and_display(Thlavni& w, StallMeter& meter, const char* n) {
    // Closes the viewer as soon as it shows, after the render it waited for.
    QElapsedTimer clock;
    qint64 shown_at = -1;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!w.viewer().isVisible()) return;
        shown_at = clock.elapsed();
        w.viewer().accept();
    });
    poll.start(5);
    meter.start();
    clock.start();
    factorial(w, n);
    const qint64 longest = meter.stop();
    std::printf("%s! run + render + viewer: %lld ms in all, viewer shown at %lld ms\n", n,
                static_cast<long long>(clock.elapsed()), static_cast<long long>(shown_at));
    std::printf("  longest event-loop stall: %lld ms (10 ms timer)\n",
                static_cast<long long>(longest));
}

// Backups of a state of millions of digits, each converted to limbs and written as a file.
void stall_during_backups(Thlavni& w, StallMeter& meter, const char* n, int interval) {
    QTemporaryDir dir;
    cifrovar::Engine& engine = w.engine();
    const std::string kept_directory = engine.settings.adresar;
    const int kept_interval = engine.settings.zalohy;
    engine.settings.adresar = dir.path().toStdString();
    engine.settings.zalohy = interval;
    w.findChild<QAction*>("autotext")->setChecked(false);
    InputMeter input;
    QElapsedTimer clock;
    meter.start();
    input.start();
    clock.start();
    factorial(w, n);
    const qint64 longest = meter.stop();
    const qint64 held = input.stop();
    const qsizetype files = QDir(dir.path()).entryList({"zal*.cfr"}, QDir::Files).size();
    std::printf("%s! with a backup every %d steps: %lld ms, %lld backup files\n", n, interval,
                static_cast<long long>(clock.elapsed()), static_cast<long long>(files));
    std::printf("  longest event-loop stall: %lld ms; longest input hold: %lld ms\n",
                static_cast<long long>(longest), static_cast<long long>(held));
    engine.settings.adresar = kept_directory;
    engine.settings.zalohy = kept_interval;
    w.findChild<QAction*>("autotext")->setChecked(true);
}

// The process's peak and present resident memory in MiB, from /proc/self/status.
std::pair<long long, long long> resident_mib() {
    QFile status("/proc/self/status");
    long long peak = -1, now = -1;
    if (!status.open(QIODevice::ReadOnly)) return {peak, now};
    for (const QByteArray& line : status.readAll().split('\n')) {
        const auto kib = [&line] { return line.mid(6).trimmed().split(' ').value(0).toLongLong(); };
        if (line.startsWith("VmHWM:")) peak = kib() / 1024;
        if (line.startsWith("VmRSS:")) now = kib() / 1024;
    }
    return {peak, now};
}

// A state of billions of digits in the window: a factorial's calculation file is opened,
// continued to n with a backup every interval steps, and saved under another name. For each,
// the time, the longest event-loop stall, the longest hold of the user's input and the memory.
int big_state(Thlavni& w, cifrovar::testing::ScriptedPrompts& prompts, const QString& file,
              const char* n, int interval) {
    QTemporaryDir dir;
    cifrovar::Engine& engine = w.engine();
    engine.settings.adresar = dir.path().toStdString();
    w.findChild<QAction*>("autotext")->setChecked(false);
    StallMeter meter;
    InputMeter input;
    QElapsedTimer clock;
    auto measured = [&](const char* what, const std::function<void()>& action) {
        meter.start();
        input.start();
        clock.start();
        action();
        const qint64 longest = meter.stop();
        const qint64 held = input.stop();
        const auto [peak, now] = resident_mib();
        std::printf(
            "%s: %lld ms; longest stall %lld ms, input held %lld ms; RSS %lld MiB, "
            "peak so far %lld MiB\n",
            what, static_cast<long long>(clock.elapsed()), static_cast<long long>(longest),
            static_cast<long long>(held), now, peak);
    };
    measured("open", [&] {
        prompts.files.push_back(file);
        click(w, "b_otevri");
    });
    std::printf("  opened: n reached %s\n",
                qPrintable(w.findChild<QLineEdit*>("fkt_zadani")->text()));
    engine.settings.zalohy = interval;
    measured("continue with backups", [&] {
        w.findChild<QLineEdit*>("fkt_zadani")->setText(n);
        click(w, "tlacitko");
    });
    const QStringList backups = QDir(dir.path()).entryList({"zal*.cfr"}, QDir::Files);
    for (const QString& b : backups)
        std::printf("  backup %s: %lld bytes\n", qPrintable(b),
                    static_cast<long long>(QFileInfo(dir.filePath(b)).size()));
    const QString saved = dir.filePath("saved.cfr");
    measured("save", [&] {
        prompts.files.push_back(saved);
        click(w, "b_uloz");
    });
    std::printf("  saved: %lld bytes\n", static_cast<long long>(QFileInfo(saved).size()));
    for (const QString& e : prompts.errors) std::printf("error box: %s\n", qPrintable(e));
    return prompts.errors.empty() && !backups.empty() ? 0 : 1;
}

// How often the status moves during a long run whose value is computed at its end: the
// texts it shows and the longest time one stood, read every 10 ms.
void status_during_run(Thlavni& w, const char* n) {
    w.findChild<QAction*>("autotext")->setChecked(false);
    QElapsedTimer clock, since_change;
    QString shown;
    int texts = 0;
    qint64 longest = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const QString text = w.status_text();
        if (text == shown) return;
        if (texts > 0) longest = std::max(longest, since_change.elapsed());
        since_change.restart();
        shown = text;
        ++texts;
    });
    poll.start(10);
    clock.start();
    since_change.start();
    factorial(w, n);
    poll.stop();
    std::printf("%s! status: %d texts in %lld ms, the longest standing %lld ms, last \"%s\"\n", n,
                texts, static_cast<long long>(clock.elapsed()), static_cast<long long>(longest),
                qPrintable(w.status_text()));
    w.findChild<QAction*>("autotext")->setChecked(true);
}

void interrupt_latency(Thlavni& w) {
    // An interrupted run would show its result too; that is measured above.
    w.findChild<QAction*>("autotext")->setChecked(false);
    QElapsedTimer clock;
    qint64 pressed_at = 0;
    QTimer::singleShot(2000, &w, [&] {
        pressed_at = clock.elapsed();
        click(w, "b_prerus");
    });
    clock.start();
    factorial(w, "30000000");
    std::printf(
        "Přerušit after 2 s of 30000000!: run ended %lld ms after the press (n reached %s)\n",
        static_cast<long long>(clock.elapsed() - pressed_at),
        qPrintable(w.findChild<QLineEdit*>("fkt_zadani")->text()));
}

void viewer_big_result(Thlavni& w, int digits_wanted) {
    // 2^e has floor(e log10 2) + 1 digits.
    const long exponent = static_cast<long>(digits_wanted / 0.30102999566398120);
    click(w, "u_uvod");
    click(w, "u_mocniny");
    w.findChild<QLineEdit*>("moc_zaklad")->setText("2");
    w.findChild<QLineEdit*>("moc_exponent")->setText(QString::number(exponent));
    click(w, "tlacitko");
    QTemporaryDir dir;
    const std::string path = dir.filePath("big.txt").toStdString();
    QElapsedTimer clock;
    clock.start();
    const cifrovar::RenderInfo info = render_result(w.engine(), path, false);
    const qint64 rendered = clock.restart();
    cifrovar::Tvypis& viewer = w.viewer();
    viewer.load(QString::fromStdString(path), "2 ^ " + QString::number(exponent), info.digit_count);
    viewer.show();
    auto* view = viewer.findChild<cifrovar::DigitView*>("vysledovka");
    view->repaint();
    QApplication::processEvents();
    const qint64 shown = clock.restart();
    qint64 worst_page = 0;
    QElapsedTimer page;
    for (int i = 0; i < 300; ++i) {
        page.start();
        view->verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
        view->repaint();
        worst_page = std::max(worst_page, page.nsecsElapsed() / 1000);
    }
    clock.restart();
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
    view->repaint();
    const qint64 to_end = clock.restart();
    view->select_all();
    view->copy();
    const qint64 copied = clock.elapsed();
    const qsizetype clipboard = QApplication::clipboard()->text().size();
    viewer.accept();
    std::printf("viewer, %lld digits: render %lld ms, load + show + paint %lld ms\n",
                static_cast<long long>(info.digit_count), static_cast<long long>(rendered),
                static_cast<long long>(shown));
    std::printf("  page down + repaint: worst %lld us of 300; jump to the end %lld ms\n",
                static_cast<long long>(worst_page), static_cast<long long>(to_end));
    std::printf("  select all + copy: %lld ms, clipboard holds %lld characters\n",
                static_cast<long long>(copied), static_cast<long long>(clipboard));
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int digits = argc > 1 ? std::atoi(argv[1]) : 10000000;
    cifrovar::testing::ScriptedPrompts prompts;
    Thlavni window(prompts);
    window.show();
    if (argc == 5 && std::strcmp(argv[1], "--big-state") == 0)
        return big_state(window, prompts, QString::fromLocal8Bit(argv[2]), argv[3],
                         std::atoi(argv[4]));
    StallMeter meter;
    stall_during_run_and_display(window, meter, "1000000");
    stall_during_run_and_display(window, meter, "10000000");
    stall_during_backups(window, meter, "2000000", 500000);
    stall_during_backups(window, meter, "5000000", 1000000);
    status_during_run(window, "30000000");
    interrupt_latency(window);
    viewer_big_result(window, digits);
    for (const QString& e : prompts.errors) std::printf("error box: %s\n", qPrintable(e));
    return prompts.errors.empty() ? 0 : 1;
}
