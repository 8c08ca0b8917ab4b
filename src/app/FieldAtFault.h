#pragma once

#include "base/ProcedureError.h"
#include "model/Settings.h"

#include <QString>

namespace quarvex {

// The name of the configuration control most likely to hold the mistake
// behind a failed listing, judged by the failure's facts, never its wording:
// a filter that is not one condition, or a catalogue query the server
// refused (then lastEditedFilter when it names one, else the first filter
// that is not empty); a refused login (the password, or the user when none
// is given); otherwise the server.
QString fieldAtFault(const Failure& failure, const Settings& settings,
                     const QString& lastEditedFilter);

} // namespace quarvex
