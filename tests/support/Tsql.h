#pragma once

#include "support/StandIn.h"

#include <QString>

namespace quarvex::test {

// Feeds a script file to FreeTDS's tsql, as a user may load it, logged in
// to the stand-in's database; tsql's output, messages included.
QString runThroughTsql(const StandIn& server, const QString& scriptPath);

} // namespace quarvex::test
