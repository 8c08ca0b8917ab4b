#include "model/OutputPath.h"

#include "base/Blanks.h"
#include "base/ProcedureError.h"

#include <QDir>
#include <QStandardPaths>

namespace quarvex {

QString trimmedOutputPath(const QString& typed) {
    QString path = trimmedBlanks(typed);
    if (path.size() > 1 && path.endsWith(QDir::separator()))
        path.chop(1);
    return path;
}

void requireOutputFolder(const QString& folder) {
    if (trimmedBlanks(folder).isEmpty())
        raise(QStringLiteral("No output folder given"));
}

QString defaultOutputFolder() {
    QString parent = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (parent.isEmpty() || !QDir(parent).exists())
        parent = QDir::homePath();
    return QDir::toNativeSeparators(QDir(parent).filePath(QStringLiteral("Quarvex")));
}

void createDefaultOutputFolder(const QString& folder) {
    const QString defaultFolder = defaultOutputFolder();
    if (QDir::cleanPath(folder) == QDir::cleanPath(defaultFolder))
        QDir().mkpath(defaultFolder);
}

} // namespace quarvex
