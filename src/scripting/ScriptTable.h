#pragma once

#include "model/ObjectRef.h"

#include <QString>

namespace quarvex {

class OdbcConnection;
struct ScriptContext;

// Appends the rows of one table to "Tables.sql" as insert statements into a
// staging table of the target's connection, behind a note with the row
// count, and adds the table to the context's staged tables, whose rows the
// apply step at the end of the file moves into place: how, and how the
// identity counter is set after, is decided here. owner and objectName are
// in their SQL form. A table that another table's foreign key references
// (referencedByAnotherTable) is emptied by a delete where a truncation is
// asked for, as is one with a row filter, which narrows the rows. True when
// scripted; false when skipped, after the user has been told and the reason
// noted. Never raises.
bool ScriptTable(ScriptContext& context, const ObjectRef& table, const QString& objectName,
                 const QString& owner, OdbcConnection& connection,
                 bool referencedByAnotherTable = false);

} // namespace quarvex
