#include "scripting/TableFacts.h"

#include "base/ProcedureError.h"

namespace quarvex {

QString tableFactsQuery(int serverVersion, qint32 objectId) {
    if (serverVersion < 12)
        return {};
    // Memory-optimized tables came with 2014, temporal tables with 2016,
    // graph tables with 2017, ledger tables with 2022.
    const QLatin1String temporal =
        serverVersion >= 13 ? QLatin1String("temporal_type") : QLatin1String("0 temporal_type");
    const QLatin1String ledger =
        serverVersion >= 16 ? QLatin1String("ledger_type") : QLatin1String("0 ledger_type");
    const QLatin1String graph = serverVersion >= 14 ? QLatin1String("is_node,is_edge")
                                                    : QLatin1String("0 is_node,0 is_edge");
    return QLatin1String("select ") + temporal + QLatin1Char(',') + ledger + QLatin1Char(',') +
           graph + QLatin1String(",is_memory_optimized from sys.tables where object_id=") +
           QString::number(objectId);
}

void refuseUnloadable(const TableFacts& facts) {
    // The server writes these tables itself while versioning is on.
    if (facts.temporalType == 1)
        raise(QStringLiteral("is the history table of a system-versioned table"));
    if (facts.ledgerType == 1)
        raise(QStringLiteral("is the history table of a ledger table"));
    if (facts.ledgerType == 2)
        raise(QStringLiteral("is an append-only ledger table, whose rows cannot be deleted"));
    // Their ids are made by the server; edges refer to nodes by them.
    if (facts.node)
        raise(QStringLiteral("is a graph node table, whose node ids a script cannot load"));
    if (facts.edge)
        raise(QStringLiteral("is a graph edge table, whose $from_id and $to_id a script cannot "
                             "load"));
}

bool truncationRefused(const TableFacts& facts) {
    return facts.temporalType == 2 || facts.ledgerType == 3 || facts.memoryOptimized;
}

QString truncationRefusal(const TableFacts& facts) {
    if (facts.temporalType == 2)
        return QStringLiteral("a system-versioned table cannot be truncated");
    if (facts.ledgerType == 3)
        return QStringLiteral("a ledger table cannot be truncated");
    return QStringLiteral("a memory-optimized table cannot be truncated");
}

} // namespace quarvex
