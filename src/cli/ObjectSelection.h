#pragma once

#include "model/CatalogueFilters.h"
#include "model/Toolkit.h"

#include <QStringList>
#include <functional>

namespace quarvex::cli {

// Raises a usage error for a name that is not KIND:OWNER.NAME (kind one of
// table, proc, trigger, view, function) or id:NUMBER; needs no server.
void checkObjectNames(const QStringList& names);

// The objects named on the command line, in the order given: "KIND:OWNER.NAME" (kind one of table,
// proc, trigger, view, function; OWNER and NAME as stored or as the listing escapes them) or
// "id:NUMBER". Raises a usage error for a malformed name, or one that matches no listed object or
// several; for one that matches none, whyMissing (when given) adds why.
QList<ObjectRef> selectObjects(const ObjectList& list, const QStringList& names,
                               const std::function<QString(const QString&)>& whyMissing = {});

// Why the object named is not in the filtered list, judged by the list of
// every object the filters would show if they were empty: that there is no
// such object, or which filter hides it, with its text and the option that
// changes it.
QString whyNotListed(const QString& name, const ObjectList& unfiltered,
                     const CatalogueFilters& filters);

// The position of the object in the list now; -1 when it is not listed.
int positionOf(const ObjectList& list, const ObjectRef& object);

// The kind words of the listing: table, proc, trigger, view, function.
QString listingKindWord(ObjectKind kind);

} // namespace quarvex::cli
