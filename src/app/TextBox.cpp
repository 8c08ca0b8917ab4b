#include "app/TextBox.h"

#include <QFocusEvent>

namespace quarvex {

void TextBox::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    emit gotFocus(event->reason());
}

} // namespace quarvex
