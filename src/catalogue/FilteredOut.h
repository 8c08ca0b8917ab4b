#pragma once

#include "model/ObjectRef.h"

#include <QMap>
#include <QString>

namespace quarvex {

class OdbcConnection;

// A number of objects per kind; a kind that is missing counts 0.
using KindCounts = QMap<ObjectKind, int>;

// Every object of the five kinds in the database, counted per kind without
// the user's filters, by one query on the open connection.
KindCounts countCatalogue(OdbcConnection& connection, bool sql2005Plus);

// What the filters keep out of the list, kinds in the order of their script
// files: "the filters hide 3 procedures and 1 trigger". Empty when they hide
// nothing.
QString hiddenByFiltersText(const KindCounts& catalogue, const KindCounts& listed);

} // namespace quarvex
