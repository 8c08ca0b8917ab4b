#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace quarvex {

class Toolkit;

// Starts the viewer on one script file through the toolkit, without waiting
// for it: the viewer text split into a program and its arguments the way a
// shell would, the path added as one more argument. An empty viewer text
// starts nothing. Raises "The viewer could not be started: " + the viewer
// text (and the system's reason where it gives one) when the program cannot
// be started or the text leaves a quote open.
void openInViewer(Toolkit& toolkit, const QString& viewer, const QString& filePath);

// The words of a command line as a POSIX shell reads them: blanks separate
// words, single quotes keep everything literally, double quotes keep all but
// a backslash before $ ` " \, and a backslash outside quotes keeps the next
// character. Nothing when a quote is left open.
std::optional<QStringList> shellWords(const QString& command);

} // namespace quarvex
