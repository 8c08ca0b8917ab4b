#pragma once

#include "scripting/DeferredKeys.h"
#include "scripting/LiveReferences.h"
#include "scripting/StagedTable.h"

#include <QList>
#include <QString>

namespace quarvex {

// Everything the apply step of a Tables.sql needs.
struct ApplyPlan {
    LoadMode mode = LoadMode::GroupedDeletes;
    bool preview = false;
    bool sql2005Plus = true;
    QList<StagedTable> tables = {};        // in list order
    QList<ReferencingKey> references = {}; // every enabled key of the source
    QString keysOff = {};                  // statements turning the deferred keys off
    QList<KeyCheck> keysOn = {};
};

// The batches that end a Tables.sql whose rows are staged: a marker of the
// apply step under way; the one batch that checks everything it can before
// changing anything, then changes the tables in one transaction, reports
// what it changed and commits (or, for a preview, rolls back); and a last
// batch that undoes a transaction an error left open and says so. Whatever
// fails, every table is left as it was, and one line starting "Nothing
// changed:" says why.
QString applyBatches(const ApplyPlan& plan);

} // namespace quarvex
