#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace quarvex {

// Starts the viewer on one script file without waiting for it.
using ViewerLauncher = std::function<void(const QString& viewer, const QString& filePath)>;

// Splits the viewer text into a program and its arguments the way a shell
// would, adds the path as one more argument and starts it detached, with
// the program's environment less QUARVEX_PASSWORD. An empty viewer text
// starts nothing. Raises "The viewer could not be started: " + the viewer
// text (and the system's reason where it gives one) when the program cannot
// be started or the text leaves a quote open.
void startViewer(const QString& viewer, const QString& filePath);

// The words of a command line as a POSIX shell reads them: blanks separate
// words, single quotes keep everything literally, double quotes keep all but
// a backslash before $ ` " \, and a backslash outside quotes keeps the next
// character. Nothing when a quote is left open.
std::optional<QStringList> shellWords(const QString& command);

} // namespace quarvex
