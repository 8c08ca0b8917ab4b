#pragma once

#include <QString>
#include <QStringView>

namespace quarvex {

// True when the text holds a character below U+0020 (CR, LF, TAB, NUL and
// the rest). Such a character in an object's name could end a line of a
// script, and a batch runner takes a line reading GO as a batch end wherever
// it stands.
bool hasControlCharacter(QStringView text);

// The text on one line, C-style: "\\" for a backslash, "\r", "\n", "\t", and
// three octal digits ("\000") for any other character below U+0020.
QString cEscaped(QStringView text);

} // namespace quarvex
