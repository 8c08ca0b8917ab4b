#pragma once

#include "model/ObjectRef.h"

#include <QString>

namespace quarvex {

// What differs between the four kinds of object with source text.
struct ObjectKindScript {
    QString kindWord; // "Proc", "Trigger", "View", "Function"
    QString fileName; // "Procs.sql", ...
    QString keyword;  // what must follow CREATE: "PROC", "TRIGGER", ...
    QString marker;   // the word WITH ENCRYPTION goes in front of: "AS" or "FOR"
};

// Raises "Unexpected fall to Case Else" for a table.
ObjectKindScript objectKindScript(ObjectKind kind);

struct ObjectScriptOptions {
    bool alter = false;
    bool encrypt = false;
};

// The block one object adds to its script file: the boxed progress note, the
// definition trimmed at both ends, CREATE turned into ALTER and WITH
// ENCRYPTION put in front of the first whole-word marker when asked, and the
// batch end. Raises when CREATE, the kind's keyword after it, or a place for
// WITH ENCRYPTION cannot be found.
QString objectScript(const ObjectKindScript& kind, const QString& displayName,
                     const QString& definition, const ObjectScriptOptions& options);

} // namespace quarvex
