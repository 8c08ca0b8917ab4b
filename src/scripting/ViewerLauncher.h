#pragma once

#include <QString>
#include <functional>

namespace quarvex {

// Starts the viewer on one script file without waiting for it.
using ViewerLauncher = std::function<void(const QString& viewer, const QString& filePath)>;

// Splits the viewer text into a program and its arguments the way a shell
// would, adds the path as one more argument and starts it detached. A viewer
// that cannot be started is ignored.
void startViewer(const QString& viewer, const QString& filePath);

} // namespace quarvex
