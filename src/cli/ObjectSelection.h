#pragma once

#include "model/Toolkit.h"

#include <QStringList>

namespace quarvex::cli {

// Raises a usage error for a name that is not KIND:OWNER.NAME (kind one of
// table, proc, trigger, view, function) or id:NUMBER; needs no server.
void checkObjectNames(const QStringList& names);

// The objects named on the command line, in the order given: "KIND:OWNER.NAME" (kind one of table,
// proc, trigger, view, function; OWNER and NAME as stored or as the listing escapes them) or
// "id:NUMBER". Raises a usage error for a malformed name, or one that matches no listed object or
// several.
QList<ObjectRef> selectObjects(const ObjectList& list, const QStringList& names);

// The position of the object in the list now; -1 when it is not listed.
int positionOf(const ObjectList& list, const ObjectRef& object);

// The kind words of the listing: table, proc, trigger, view, function.
QString listingKindWord(ObjectKind kind);

} // namespace quarvex::cli
