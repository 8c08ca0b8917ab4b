#pragma once

#include "scripting/ValueLiterals.h"

#include <QString>

namespace quarvex {

// The class of a column by the name of its declared type, compared exactly
// against the lower-case names the scripter supports. Any other type (xml,
// an alias type, the date and time types of later versions) raises
// "Cannot generate script for data type " + the name.
ColumnClass classOfType(const QString& typeName);

} // namespace quarvex
