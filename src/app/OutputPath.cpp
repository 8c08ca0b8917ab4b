#include "app/OutputPath.h"

#include <QDir>

namespace quarvex {

QString trimmedOutputPath(const QString& typed) {
    QString path = typed;
    while (path.startsWith(u' '))
        path.remove(0, 1);
    while (path.endsWith(u' '))
        path.chop(1);
    if (path.size() > 1 && path.endsWith(QDir::separator()))
        path.chop(1);
    return path;
}

} // namespace quarvex
