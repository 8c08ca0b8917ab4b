#pragma once

#include "standin/values/SqlError.h"

#include <QString>

namespace quarvex::standin {

// SQL Server's error for a message of SQLite's (or of our own functions).
SqlError sqliteErrorFrom(const QString& message);

} // namespace quarvex::standin
