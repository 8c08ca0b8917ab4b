#pragma once

#include <QString>

namespace quarvex::standin {

// The T-SQL script of the sample database (a small trading company), with
// GO between batches.
QString sampleDatabaseScript();

} // namespace quarvex::standin
