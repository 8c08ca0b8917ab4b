#include "app/InputDiscarder.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace quarvex {

namespace {

bool isUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

} // namespace

InputDiscarder::InputDiscarder(QWidget& window)
    : m_window(&window) {}

InputDiscarder::~InputDiscarder() {
    if (m_active && qApp)
        qApp->removeEventFilter(this);
}

void InputDiscarder::setActive(bool active) {
    if (active == m_active)
        return;
    m_active = active;
    if (active)
        qApp->installEventFilter(this);
    else
        qApp->removeEventFilter(this);
}

void InputDiscarder::discardQueued() {
    const bool wasActive = m_active;
    setActive(true);
    // Posted events and the window system's queue both; input among them
    // reaches the filter and goes no further.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    setActive(wasActive);
    if (m_closeRequested && m_window) {
        m_closeRequested = false;
        QMetaObject::invokeMethod(m_window, &QWidget::close, Qt::QueuedConnection);
    }
}

bool InputDiscarder::eventFilter(QObject* watched, QEvent* event) {
    if (isUserInput(event->type()))
        return true;
    // The window system asks the window (and then the widget) to close; the
    // run ends first, then the window closes.
    if (event->type() == QEvent::Close && m_window &&
        (watched == m_window || watched == m_window->windowHandle())) {
        m_closeRequested = true;
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace quarvex
