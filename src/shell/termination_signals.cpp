#include "shell/termination_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QTimer>
#include <cerrno>
#include <stdexcept>

#include "shell/main_window.h"

namespace cifrovar {

namespace {

constexpr int handled[] = {SIGTERM, SIGHUP};

int pipe_ends[2] = {-1, -1};
struct sigaction previous[2];
bool installed[2] = {false, false};

extern "C" void on_termination(int signal_number) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal_number);
    // A full pipe already holds a request; nothing more is needed.
    [[maybe_unused]] const ssize_t n = ::write(pipe_ends[1], &byte, 1);
    errno = saved;
}

// From the termination on, every modal dialog is cancelled as soon as it shows.
class CancelDialogs : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            if (auto* dialog = qobject_cast<QDialog*>(watched); dialog && dialog->isModal()) {
                QTimer::singleShot(0, dialog, &QDialog::reject);
            }
        }
        return false;
    }
};

void cancel_open_dialogs() {
    while (QWidget* modal = QApplication::activeModalWidget()) {
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        } else {
            modal->close();
        }
        // A dialog that refuses to go would keep this loop turning.
        if (QApplication::activeModalWidget() == modal) break;
    }
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    if (pipe_ends[0] >= 0) throw std::logic_error("termination signals watched twice");
    if (::pipe2(pipe_ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        throw std::runtime_error("cannot make the pipe of the termination signals");
    }
    notifier_ = new QSocketNotifier(pipe_ends[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::drain);
    for (int i = 0; i < 2; ++i) {
        if (::sigaction(handled[i], nullptr, &previous[i]) != 0) continue;
        if (previous[i].sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = on_termination;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        installed[i] = ::sigaction(handled[i], &action, nullptr) == 0;
    }
}

TerminationSignals::~TerminationSignals() {
    for (int i = 0; i < 2; ++i) {
        if (installed[i]) ::sigaction(handled[i], &previous[i], nullptr);
        installed[i] = false;
    }
    delete notifier_;
    for (int& end : pipe_ends) {
        ::close(end);
        end = -1;
    }
}

void TerminationSignals::drain() {
    unsigned char bytes[16];
    int first = 0;
    ssize_t n;
    while ((n = ::read(pipe_ends[0], bytes, sizeof bytes)) > 0) {
        if (first == 0) first = bytes[0];
    }
    // The first signal starts the close; later ones find it under way.
    if (first == 0 || received_ != 0) return;
    received_ = first;
    emit terminate(first);
}

void close_on_termination(TerminationSignals& source, Thlavni& window) {
    QObject::connect(&source, &TerminationSignals::terminate, &window, [&window] {
        qApp->installEventFilter(new CancelDialogs(&window));
        cancel_open_dialogs();
        // Qt ends the program when its last visible window closes; a window in the tray is
        // brought back so that a close deferred until the running command ends still ends it.
        if (window.tray()->isVisible()) window.restore_from_tray();
        if (window.close()) QCoreApplication::quit();
    });
}

}  // namespace cifrovar
