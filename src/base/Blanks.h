#pragma once

#include <QString>
#include <QStringView>

namespace quarvex {

// The text without the blanks (spaces, nothing else) at either end. Tabs
// and line breaks are kept: the program trims exactly what its users see as
// padding.
QString trimmedBlanks(QStringView text);

} // namespace quarvex
