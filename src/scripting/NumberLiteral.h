#pragma once

#include "db/FieldValue.h"

#include <QString>

namespace quarvex {

class Utf8Script;

// A T-SQL numeric literal that loads back as the same value, appended to
// out: integers as their digits, exact numbers (decimal, numeric, money) as
// the driver delivered their text, which must be a plain numeric literal,
// and floating-point values with the fewest digits that read back to the
// same binary value. Raises, before appending anything, for any other kind
// of value, text that is no plain number, or an infinite or NaN float.
void appendNumberLiteral(QString& out, const FieldValue& value);
void appendNumberLiteral(Utf8Script& out, const FieldValue& value);

} // namespace quarvex
