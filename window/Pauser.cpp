#include "window/Pauser.h"

#include <QApplication>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace vornal {

namespace {

bool isPointerEvent(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        return true;
    default:
        return false;
    }
}

bool isUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::InputMethod:
        return true;
    default:
        return isPointerEvent(type);
    }
}

} // namespace

InputGuard::InputGuard(QWidget& window, const char* passProperty, Close close)
    : window_(window), passProperty_(passProperty), close_(close) {
    qApp->installEventFilter(this);
}

InputGuard::~InputGuard() {
    qApp->removeEventFilter(this);
}

bool InputGuard::eventFilter(QObject* watched, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget->window() != &window_) {
        return false;
    }
    if (event->type() == QEvent::Close && widget == &window_ && close_ == Close::Hold) {
        closeRequested_ = true;
        event->ignore();
        return true;
    }
    if (!isUserInput(event->type())) {
        return false;
    }
    return !(isPointerEvent(event->type()) && widget->property(passProperty_).toBool());
}

void EventLoopPauser::pause(QWidget& window, int ms) {
    window.repaint();
    bool closeRequested = false;
    {
        InputGuard guard(window);
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
        closeRequested = guard.closeRequested();
    }
    if (closeRequested) {
        QTimer::singleShot(0, &window, [target = QPointer<QWidget>(&window)] {
            if (target) {
                target->close();
            }
        });
    }
}

} // namespace vornal
