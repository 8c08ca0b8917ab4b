#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

namespace quarvex {

// Keeps the user's input away from the window while a long operation runs.
// The operation does not return to the event loop, so clicks and keys given
// meanwhile wait in the queue; delivered afterwards they would start a second
// run or tick entries the user never saw. While active, this filter eats
// them; discardQueued() delivers whatever is queued so that the filter can
// drop it. Painting is not touched. A request to close the window is not lost
// but held back until the operation has ended.
class InputDiscarder : public QObject {
public:
    explicit InputDiscarder(QWidget& window);
    ~InputDiscarder() override;

    void setActive(bool active);

    // Delivers the queued events, input dropped, and closes the window
    // afterwards (through the event loop) if that was asked for meanwhile.
    void discardQueued();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_window;
    bool m_active = false;
    bool m_closeRequested = false;
};

} // namespace quarvex
