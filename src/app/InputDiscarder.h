#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

class QAbstractButton;
class QWidget;

namespace quarvex {

// Keeps the user's input away from the window while a long operation runs.
// The operation does not return to the event loop, so clicks and keys given
// meanwhile wait in the queue; delivered afterwards they would start a second
// run or tick entries the user never saw. While active, this filter eats
// them; discardQueued() delivers whatever is queued so that the filter can
// drop it. Painting is not touched. A request to close the window is not lost
// but held back until the operation has ended.
// An operation that works on a thread of its own keeps the event loop
// running; its Cancel button (Escape too) and any modal box it shows are
// spared, and a request to close is first put to confirmClose.
class InputDiscarder : public QObject {
public:
    explicit InputDiscarder(QWidget& window);
    ~InputDiscarder() override;

    void setActive(bool active);

    // The one control that takes input while active (nullptr: none).
    void setSpared(QAbstractButton* control);
    // Asked when the window is to close while active: true to close once
    // the operation has ended. Unset, it is always true.
    std::function<bool()> confirmClose;

    // Delivers the queued events, input dropped, and closes the window
    // afterwards (through the event loop) if that was asked for meanwhile.
    void discardQueued();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool spares(QObject* watched, QEvent* event);

    QPointer<QWidget> m_window;
    QPointer<QAbstractButton> m_spared;
    bool m_active = false;
    bool m_closeRequested = false;
};

} // namespace quarvex
