#include "app/ViewerProcess.h"

#include <QProcess>

namespace quarvex {

std::optional<QString> startViewerProcess(const QString& program, const QStringList& arguments) {
    QProcess viewerProcess;
    viewerProcess.setProgram(program);
    viewerProcess.setArguments(arguments);
    // The viewer has no business with the database password.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QUARVEX_PASSWORD"));
    viewerProcess.setProcessEnvironment(environment);
    if (!viewerProcess.startDetached())
        return viewerProcess.errorString();
    return std::nullopt;
}

} // namespace quarvex
