#pragma once

#include "model/ObjectKinds.h"

#include <QString>

namespace quarvex {

struct ObjectScriptOptions {
    bool alter = false;
    bool encrypt = false;
};

// The block one object adds to its script file: the boxed progress note, the
// definition trimmed at both ends, CREATE turned into ALTER and WITH
// ENCRYPTION put in front of the first whole-word marker when asked, and the
// batch end. Raises when CREATE, the kind's keyword after it, or a place for
// WITH ENCRYPTION cannot be found.
QString objectScript(const ObjectKindFacts& kind, const QString& displayName,
                     const QString& definition, const ObjectScriptOptions& options);

} // namespace quarvex
