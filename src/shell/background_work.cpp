#include "shell/background_work.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <exception>
#include <thread>

#include "bignum/compute_threads.h"

namespace cifrovar {

namespace {

// Drops the user's input while a held operation runs; everything else (paint, timers, moves,
// calls from the worker) goes through.
class InputHold : public QObject {
  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::Shortcut:
            case QEvent::ShortcutOverride:
            case QEvent::Wheel:
            case QEvent::ContextMenu:
            case QEvent::TouchBegin:
            case QEvent::TouchUpdate:
            case QEvent::TouchEnd:
                return true;
            default:
                return QObject::eventFilter(watched, event);
        }
    }
};

}  // namespace

bool on_gui_thread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

void run_in_background(const std::function<void()>& work, bool hold_input) {
    if (!on_gui_thread()) {
        work();
        return;
    }
    InputHold hold;
    if (hold_input) QCoreApplication::instance()->installEventFilter(&hold);
    QEventLoop loop;
    std::exception_ptr failure;
    std::thread worker([&] {
        // The work takes the priority class chosen for computing; the window keeps its own.
        const ComputeThread computing;
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    // The loop returns only through the worker's quit, also when the work ended before it ran.
    loop.exec();
    worker.join();
    if (hold_input) QCoreApplication::instance()->removeEventFilter(&hold);
    if (failure) std::rethrow_exception(failure);
}

void run_on_gui(const std::function<void()>& fn) {
    if (on_gui_thread() || QCoreApplication::instance() == nullptr) {
        fn();
        return;
    }
    QMetaObject::invokeMethod(QCoreApplication::instance(), fn, Qt::BlockingQueuedConnection);
}

}  // namespace cifrovar
