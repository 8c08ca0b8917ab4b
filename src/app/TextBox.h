#pragma once

#include <QLineEdit>

namespace quarvex {

// A single-line text box that tells how the focus reached it, so the window
// can tell a Tab from a mouse click.
class TextBox : public QLineEdit {
    Q_OBJECT

public:
    using QLineEdit::QLineEdit;

signals:
    // After the box's own focus handling, so a selection made in reply stays.
    void gotFocus(Qt::FocusReason reason);

protected:
    void focusInEvent(QFocusEvent* event) override;
};

} // namespace quarvex
