#pragma once

#include <QString>

namespace quarvex::standin {

// The T-SQL script of the sample database (a small trading company), with
// GO between batches, for a server of this major version: from 10 (SQL
// Server 2008) on it has tables in that version's date, time and CLR types.
QString sampleDatabaseScript(int majorVersion);

} // namespace quarvex::standin
