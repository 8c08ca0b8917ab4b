#include "scripting/StagedTable.h"

namespace quarvex {

QString stagingName(int number) {
    return QLatin1String("#quarvex") + QString::number(number);
}

} // namespace quarvex
