#pragma once

#include "model/ObjectRef.h"

#include <QString>

namespace quarvex {

// The kind of a catalogue type code ("U", "P", "TR", "V", "FN", compared
// exactly). Any other code raises "Unexpected fall to Case Else".
ObjectKind kindOfTypeCode(const QString& typeCode);

// One list line: prefix, TAB, name, " (", owner, ") ", five TABs, id. Names
// are written as stored, never bracketed or escaped.
QString entryText(ObjectKind kind, const QString& name, const QString& owner, qint32 id);

// The list entry of one catalogue row, with the object as its item data.
ListEntry catalogueEntry(ObjectKind kind, const QString& name, const QString& owner, qint32 id);

// The entry of an object; a row filter shows after the owner as "where "
// + condition.
ListEntry objectEntry(const ObjectRef& object);

} // namespace quarvex
