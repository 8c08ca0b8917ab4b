#pragma once

#include "catalogue/CatalogueQuery.h"

#include <QString>
#include <optional>

namespace quarvex {

// Why a filter is more than one condition, or nothing when it is one. It
// goes into the catalogue query as typed, so outside quoted text ('...',
// "...") and bracketed names ([...]), each with its closing character doubled
// inside, it must not close a parenthesis it did not open, nor hold ";" or a
// comment start ("--", "/*"); and every quote or bracket it opens it closes.
std::optional<QString> filterFault(const QString& condition);

// Raises, naming the filter (table, proc, trigger, view or function) and its
// text, for the first filter that is not a single condition.
void checkCatalogueFilters(const CatalogueFilters& filters);

} // namespace quarvex
