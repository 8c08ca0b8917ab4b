#include "scripting/ViewerLauncher.h"

#include <QProcess>

namespace quarvex {

void startViewer(const QString& viewer, const QString& filePath) {
    QStringList arguments = QProcess::splitCommand(viewer);
    if (arguments.isEmpty())
        return;
    const QString program = arguments.takeFirst();
    arguments.append(filePath);
    QProcess::startDetached(program, arguments);
}

} // namespace quarvex
