#pragma once

#include "standin/values/SqlType.h"

#include <QHash>
#include <QString>
#include <QVariant>

namespace quarvex::standin {

// One local variable of a batch: its name as declared, its type, and its
// value in the form the stand-in stores values of that type (null until set).
struct LocalVariable {
    QString name;
    SqlType type;
    QVariant value;
};

// A batch's local variables by lower-cased name: T-SQL names compare
// without case under the default collation.
using LocalVariables = QHash<QString, LocalVariable>;

} // namespace quarvex::standin
