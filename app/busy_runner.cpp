#include "app/busy_runner.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QEventLoop>
#include <QThread>
#include <QWidget>
#include <exception>
#include <thread>

namespace quill {
namespace {

bool IsUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::InputMethod:
        case QEvent::ContextMenu:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TouchCancel:
        case QEvent::TabletPress:
        case QEvent::TabletMove:
        case QEvent::TabletRelease:
        case QEvent::NativeGesture:
        case QEvent::Gesture:
        case QEvent::Close:
            return true;
        default:
            return false;
    }
}

}  // namespace

BusyRunner::BusyRunner(QWidget* window) : window_(window) {}

BusyRunner::~BusyRunner() = default;

bool BusyRunner::HeldOff(QObject* watched) const {
    // Widgets only: the window-level handling still sees every event, so Qt's own record of
    // pressed buttons and drags stays right while the widgets get nothing.
    auto* widget = qobject_cast<QWidget*>(watched);
    return widget != nullptr && window_ != nullptr && widget->window() == window_;
}

bool BusyRunner::eventFilter(QObject* watched, QEvent* event) {
    if (depth_ > 0 && IsUserInput(event->type()) && HeldOff(watched)) {
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void BusyRunner::Run(const std::function<void()>& work) {
    if (QThread::currentThread() != thread()) {
        work();
        return;
    }
    QApplication* app = qApp;
    if (depth_++ == 0 && app != nullptr) {
        app->installEventFilter(this);
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }

    QEventLoop loop;
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        // Queued: safe from this thread, and delivered even if it comes before exec starts.
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();

    if (--depth_ == 0 && app != nullptr) {
        // Input that reached us before the work ended is still waiting: it meets the filter
        // now, not the controls afterwards.
        ++depth_;
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        --depth_;
        QApplication::restoreOverrideCursor();
        app->removeEventFilter(this);
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

}  // namespace quill
