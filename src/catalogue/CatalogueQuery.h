#pragma once

#include "model/CatalogueFilters.h"

#include <QString>

namespace quarvex {

// The one catalogue query: a block per kind (tables, procs, triggers, views,
// functions), each narrowed by its filter when that is not empty, joined by
// "union " and ordered by type, name and owner. The catalogue views of SQL
// Server 2005 and later, or the system tables before.
QString catalogueQuery(bool sql2005Plus, const CatalogueFilters& filters);

// The objects of the five kinds counted per type code (columns type and n),
// without any filter, from the same catalogue as catalogueQuery.
QString catalogueCountQuery(bool sql2005Plus);

} // namespace quarvex
