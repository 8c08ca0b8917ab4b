#include "model/OutputPath.h"

#include "base/Blanks.h"
#include "base/ProcedureError.h"

#include <QDir>

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

} // namespace quarvex
