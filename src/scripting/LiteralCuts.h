#pragma once

#include <QList>
#include <QStringView>

namespace quarvex {

// Positions, in order, at which a text literal must be closed and a new one
// begun, because the server, the client or a batch runner would change the
// value there: after a backslash that ends a line (the server drops both),
// at the start of a line that tsql or sqlcmd takes as its own command (GO,
// exit and the like, ":..." or "!!..."), between "$" and "(" (sqlcmd
// replaces "$(name)" even inside literals), and on both sides of a NUL (a
// client ends the batch text there), which is written outside any literal.
QList<qsizetype> literalCuts(QStringView text);

} // namespace quarvex
