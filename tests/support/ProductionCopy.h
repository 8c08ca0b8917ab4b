#pragma once

#include "support/Database.h"
#include "support/ScriptRun.h"

#include <QStringList>

namespace quarvex::test {

// A source database whose rows a run scripts, and a production copy of the
// same design (or drifted from it) with rows of its own, live references
// and keys, into which Tables.sql is loaded through tsql.
struct ProductionCopy {
    Database source;
    Database target;
    ScriptRun run;

    ProductionCopy(const QString& version, const QString& sourceScript,
                   const QString& targetScript);

    // Ticks tables by name, each optionally with its row filter after
    // " where ", in the order given.
    void tick(const QStringList& tables);
    // The run's Tables.sql loaded into the target by tsql: its output.
    QString load();
    // What a load may change: every row of the tables in key order and
    // every foreign key's enabled and trusted state.
    QStringList state(const QStringList& tables);
};

} // namespace quarvex::test
