#pragma once

#include "model/CatalogueFilters.h"

#include <QString>

namespace quarvex {

// The one catalogue query: a block per kind (tables, procs, triggers, views,
// functions), each narrowed by its filter when that is not empty, joined by
// "union " and ordered by type, name and owner. The catalogue views of SQL
// Server 2005 and later, or the system tables before.
QString catalogueQuery(bool sql2005Plus, const CatalogueFilters& filters);

} // namespace quarvex
