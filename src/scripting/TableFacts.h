#pragma once

#include <QString>

namespace quarvex {

// What the catalogue of SQL Server 2014 and later says about a table that
// decides whether, and how, a script can empty and fill it.
struct TableFacts {
    int temporalType = 0; // 1 history table, 2 system-versioned
    int ledgerType = 0;   // 1 ledger history, 2 append-only, 3 updatable
    bool node = false;
    bool edge = false;
    bool memoryOptimized = false;
};

// The query for one table's facts, each column read only from the version
// that has it; empty before 2014, whose tables have none of them.
QString tableFactsQuery(int serverVersion, qint32 objectId);

// Raises why the table cannot be emptied and filled by a script (a history
// table, an append-only ledger table, a graph table); nothing otherwise.
void refuseUnloadable(const TableFacts& facts);

// Whether the server refuses to truncate the table although it lets a
// script delete its rows (system-versioned, updatable ledger and
// memory-optimized tables).
bool truncationRefused(const TableFacts& facts);

// Why such a table's rows are deleted rather than truncated.
QString truncationRefusal(const TableFacts& facts);

} // namespace quarvex
