#pragma once

#include "model/ObjectRef.h"

#include <QString>

namespace quarvex {

class OdbcConnection;
struct ScriptContext;

// Appends the source of one procedure, trigger, view or function to its
// kind's script file. True when scripted; false when skipped, after the user
// has been told and the reason noted in the file. Never raises.
// objectName is the name as notes show it. A module whose stored text names
// another object (renamed or moved since), or holds a line that a batch
// runner takes as its own (see LiteralCuts.h), is skipped with the reason.
bool ScriptObject(ScriptContext& context, const ObjectRef& object, const QString& objectName,
                  OdbcConnection& connection);

// The query that reads an object's source text: its text and whether it is
// hidden, one row per piece or per number of a numbered procedure group.
QString definitionQuery(bool sql2005Plus, qint32 objectId, ObjectKind kind);

} // namespace quarvex
