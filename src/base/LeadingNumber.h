#pragma once

#include <QStringView>

namespace quarvex {

// The number at the start of a text: leading blanks skipped, an optional
// sign, digits with at most one decimal point; reading stops at the first
// character that cannot continue the number. 0 when there is none.
// "09.00.1399" reads as 9, " 12abc" as 12, "x" as 0.
double leadingNumber(QStringView text);

} // namespace quarvex
