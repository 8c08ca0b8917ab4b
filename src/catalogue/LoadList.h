#pragma once

#include "base/ProcedureError.h"
#include "catalogue/CatalogueQuery.h"
#include "model/ConnectionSettings.h"

#include <optional>

namespace quarvex {

class Toolkit;
struct RunState;

// Fills the object list from the catalogue: one connection, one query, one
// entry per row in the server's order, progress on the status line. Reports
// its own failures; the list is cleared only once the server has accepted
// the query, so a bad filter keeps the previous list, and a load that fails
// after that leaves it empty. The final status counts what the filters hide
// of each kind. A listing cancelled through the toolkit ends the same way,
// with cancelledListingText() on the status line and no message. Returns the
// failure it reported (or the cancellation), with its facts, or nothing when
// the list was loaded.
const QString& cancelledListingText();

std::optional<Failure> LoadList(Toolkit& toolkit, RunState& runState,
                                const ConnectionSettings& connection,
                                const CatalogueFilters& filters);

} // namespace quarvex
