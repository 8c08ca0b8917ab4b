#include "model/OutputPath.h"

#include "base/Blanks.h"

#include <QDir>

namespace quarvex {

QString trimmedOutputPath(const QString& typed) {
    QString path = trimmedBlanks(typed);
    if (path.endsWith(QDir::separator()))
        path.chop(1);
    return path;
}

} // namespace quarvex
