#include "base/ControlCharacters.h"

#include <algorithm>

namespace quarvex {

namespace {

bool isControl(QChar c) {
    return c.unicode() < 0x20;
}

} // namespace

bool hasControlCharacter(QStringView text) {
    return std::any_of(text.begin(), text.end(), isControl);
}

QString cEscaped(QStringView text) {
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'\\')
            escaped += QLatin1String("\\\\");
        else if (c == u'\r')
            escaped += QLatin1String("\\r");
        else if (c == u'\n')
            escaped += QLatin1String("\\n");
        else if (c == u'\t')
            escaped += QLatin1String("\\t");
        else if (isControl(c))
            escaped +=
                QLatin1Char('\\') + QStringLiteral("%1").arg(c.unicode(), 3, 8, QLatin1Char('0'));
        else
            escaped += c;
    }
    return escaped;
}

} // namespace quarvex
