#include "support/ProductionCopy.h"

#include "catalogue/RowFilter.h"

namespace quarvex::test {

ProductionCopy::ProductionCopy(const QString& version, const QString& sourceScript,
                               const QString& targetScript)
    : source({.sample = false, .version = version, .script = sourceScript})
    , target({.sample = false, .version = version, .script = targetScript})
    , run(source.server) {}

void ProductionCopy::tick(const QStringList& tables) {
    for (const QString& table : tables) {
        const QString name = table.section(" where ", 0, 0);
        run.tick({name});
        if (!table.contains(" where "))
            continue;
        for (int i = 0; i < run.toolkit.list.count(); ++i)
            if (run.toolkit.list.entry(i).object.name == name)
                RowFilter(run.toolkit, run.runState, i, table.section(" where ", 1));
    }
}

QString ProductionCopy::load(Runner runner) {
    if (runner == Runner::Tsql)
        return target.loadThroughTsql(run.folder.path("Tables.sql"));
    return target.load(run.file("Tables.sql"), runner == Runner::BatchesStoppingAtError).join('\n');
}

QStringList ProductionCopy::state(const QStringList& tables) {
    QStringList state;
    for (const QString& table : tables)
        for (const QString& row : target.exactRows("select * from " + table + " order by 1,2"))
            state << table + ": " + row;
    // The compatibility view answers on every version.
    state << target.rows("select name,objectproperty(id,'CnstIsDisabled'),"
                         "objectproperty(id,'CnstIsNotTrusted') from sysobjects where xtype='F' "
                         "order by name");
    return state;
}

} // namespace quarvex::test
