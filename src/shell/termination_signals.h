#pragma once

#include <QObject>

class QSocketNotifier;

namespace cifrovar {

class Thlavni;

// SIGTERM (a shutdown, kill) and SIGHUP (the session ended) delivered as a Qt signal on the
// thread that made this object, so that the program can end through its ordinary close instead
// of dying in the middle of a write. The handler only writes the signal's number into a pipe
// that a socket notifier watches. A signal the process started with ignored (nohup) stays
// ignored. One object at a time; the destructor puts the previous handlers back.
class TerminationSignals : public QObject {
    Q_OBJECT

  public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // True once a signal has been received.
    bool received() const { return received_ != 0; }

  signals:
    void terminate(int signal_number);

  private:
    void drain();

    QSocketNotifier* notifier_ = nullptr;
    int received_ = 0;
};

// Closes the main window as its own close does (the configuration is stored, a running command
// is interrupted and the window closes once it has unwound), after cancelling every modal
// dialog that is open or opens meanwhile, which would otherwise hold the close back.
void close_on_termination(TerminationSignals& source, Thlavni& window);

}  // namespace cifrovar
