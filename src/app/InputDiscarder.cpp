#include "app/InputDiscarder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
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

void InputDiscarder::setSpared(QAbstractButton* control) {
    m_spared = control;
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

// Input reaches a window first and is then sent on to one of its widgets;
// it is judged there. The spared control and a modal box (a message shown
// meanwhile, the question before closing) take theirs.
bool InputDiscarder::spares(QObject* watched, QEvent* event) {
    if (!m_spared)
        return false;
    if (qobject_cast<QWindow*>(watched))
        return true;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget)
        return false;
    if (QWidget* modal = QApplication::activeModalWidget(); modal && widget->window() == modal)
        return true;
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        if (m_spared->isEnabled())
            QMetaObject::invokeMethod(m_spared.data(), &QAbstractButton::click,
                                      Qt::QueuedConnection);
        return false;
    }
    return widget == m_spared.data() || m_spared->isAncestorOf(widget);
}

bool InputDiscarder::eventFilter(QObject* watched, QEvent* event) {
    if (isUserInput(event->type()))
        return !spares(watched, event);
    // The window system asks the window (and then the widget) to close; the
    // run ends first, then the window closes.
    if (event->type() == QEvent::Close && m_window &&
        (watched == m_window || watched == m_window->windowHandle())) {
        if (!m_closeRequested && (!confirmClose || confirmClose()))
            m_closeRequested = true;
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace quarvex
