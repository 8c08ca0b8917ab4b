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
    // How a user may load a script: FreeTDS's tsql, or batch by batch as a
    // query window does, going on after an error or, as sqlcmd -b does,
    // stopping at the first.
    enum class Runner { Tsql, Batches, BatchesStoppingAtError };

    // The run's Tables.sql loaded into the target: tsql's output, or the
    // errors of the batches.
    QString load(Runner runner = Runner::Tsql);
    // What a load may change: every row of the tables in key order and
    // every foreign key's enabled and trusted state.
    QStringList state(const QStringList& tables);
};

} // namespace quarvex::test
