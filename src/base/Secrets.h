#pragma once

#include <QByteArray>
#include <QString>

namespace quarvex {

// Keeps the process's memory, which holds the login's password from the
// moment it is typed or read, out of core dumps: no core is written and
// other processes of the same user cannot read it through the debugger's
// interfaces. Called once at start-up.
void keepMemoryOutOfCoreDumps();

// Overwrites the text's characters and empties it, so that a copy of a
// password does not linger in freed memory. A text that shares its buffer
// with another is only emptied: overwriting would copy it first.
void wipe(QString& text);
void wipe(QByteArray& bytes);

// The value of an environment variable, after which the variable is gone
// from the environment and its text overwritten where the process keeps
// it, so that neither a child process nor a reader of the process's
// environment finds it. Empty when it was not set.
QString takeEnvironmentVariable(const char* name);

} // namespace quarvex
