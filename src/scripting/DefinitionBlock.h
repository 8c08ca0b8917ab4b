#pragma once

#include "model/ObjectKinds.h"

#include <QString>
#include <QStringList>

namespace quarvex {

struct DefinitionBlockOptions {
    bool alter = false;
    bool encrypt = false;
    bool createOrAlter = false; // wins over alter
};

// The block one object adds to its script file: the boxed progress note,
// then each definition (one per number of a numbered procedure group) as a
// batch of its own: trimmed at both ends, its header's CREATE (the first
// that is code, see ModuleHeader.h) turned into ALTER or CREATE OR ALTER and
// WITH ENCRYPTION put in front of the first whole-word marker after it when
// asked, and the batch end. A stored CREATE OR ALTER counts as CREATE.
// Raises when CREATE, the kind's keyword after it, or a place for WITH
// ENCRYPTION cannot be found in any of them.
QString definitionBlock(const ObjectKindFacts& kind, const QString& displayName,
                        const QStringList& definitions, const DefinitionBlockOptions& options);

} // namespace quarvex
