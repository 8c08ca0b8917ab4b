#pragma once

#include "scripting/ColumnClass.h"

#include <QString>
#include <QStringView>

namespace quarvex {

class Utf8Script;

// The literal of a text value of class C ('text') or U (N'text'), every
// apostrophe doubled, appended to out. Where the server, the client or a
// batch runner would change the value (see LiteralCuts.h) the literal is
// closed and goes on with + and a new literal of the same kind; a NUL stands
// between them as char(0) or nchar(0). Such a concatenation would be cut at
// 8000 bytes unless its first piece is a max type, which servers before 2005
// lack: there a long value of this kind cannot be written and raises, before
// anything is appended. Other values are one literal.
void appendTextLiteral(QString& out, QStringView text, ColumnClass columnClass,
                       bool maxTypesAvailable);

// The same appended to a script held as UTF-8, encoded straight from the
// text's characters.
void appendTextLiteral(Utf8Script& out, QStringView text, ColumnClass columnClass,
                       bool maxTypesAvailable);

} // namespace quarvex
