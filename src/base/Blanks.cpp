#include "base/Blanks.h"

namespace quarvex {

QString trimmedBlanks(QStringView text) {
    while (!text.isEmpty() && text.front() == u' ')
        text = text.mid(1);
    while (!text.isEmpty() && text.back() == u' ')
        text.chop(1);
    return text.toString();
}

} // namespace quarvex
