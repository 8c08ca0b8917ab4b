#pragma once

#include <QList>
#include <QString>
#include <QStringView>
#include <optional>

namespace quarvex {

// Positions, in order, at which a text literal must be closed and a new one
// begun, because the server, the client or a batch runner would change the
// value there: after a backslash that ends a line (the server drops both),
// at the start of a line that tsql or sqlcmd takes as its own command (GO,
// exit and the like, ":..." or "!!..."), between "$" and "(" (sqlcmd
// replaces "$(name)" even inside literals), and on both sides of a NUL (a
// client ends the batch text there), which is written outside any literal.
QList<qsizetype> literalCuts(QStringView text);

// A line of a text that a batch runner would not pass on to the server as
// it stands, by the same rules as the cuts: a command of tsql or sqlcmd, or
// sqlcmd's "$(".
struct RunnerLine {
    qsizetype number = 0; // counted from 1
    // What it is, to follow "line N ...": "is a command to tsql and sqlcmd
    // (GO)". It names the command, never quotes the line.
    QString what;
};

// The first such line of a text that stands in a script as it is, its first
// line at the start of a script line (a module's source, which no literal
// can hold); nullopt when there is none.
std::optional<RunnerLine> firstRunnerLine(QStringView text);

} // namespace quarvex
