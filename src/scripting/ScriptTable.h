#pragma once

#include <QString>

namespace quarvex {

class OdbcConnection;
struct ScriptContext;

// Appends the rows of one table to "Tables.sql" as insert statements, behind
// a note with the row count, with truncation (unless deletes are grouped),
// identity handling and reseeding. The script is gathered in "Temp.sql" so
// that the count can go into the note once all rows are known. owner and
// objectName are in their SQL form. A table of a cycle of foreign keys
// (inCycle) is emptied by a delete instead of a truncation, and reseeded as
// with grouped deletes. True when scripted; false when skipped, after the
// user has been told and the reason noted. Never raises.
bool ScriptTable(ScriptContext& context, qint32 objectId, const QString& objectName,
                 const QString& owner, OdbcConnection& connection, bool inCycle = false);

} // namespace quarvex
