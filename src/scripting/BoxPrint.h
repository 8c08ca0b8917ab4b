#pragma once

#include <QString>

namespace quarvex {

// The boxed print note of a message: a print statement framed by two comment
// lines of its own length, then "GO" and an empty line. Line breaks in the
// message become blanks and apostrophes are doubled, so the note is one valid
// batch whatever the message holds.
QString BoxPrint(const QString& text);

} // namespace quarvex
