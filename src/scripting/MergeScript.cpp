#include "scripting/MergeScript.h"

#include "scripting/SqlIdentifier.h"
#include "scripting/TableStatements.h"

#include <QSet>
#include <optional>

namespace quarvex {

namespace {

QString qualified(const QString& alias, const QString& column) {
    return alias + QLatin1Char('.') + column;
}

// The bytes of a value, where the server can convert it; empty otherwise.
// Before 2005 text, ntext and image convert to no comparable type.
QString bytesOf(const ColumnInfo& column, const QString& value, bool sql2005Plus) {
    const QString& type = column.TypeName;
    const bool large = type == QLatin1String("text") || type == QLatin1String("ntext") ||
                       type == QLatin1String("image");
    if (!sql2005Plus) {
        if (large)
            return {};
        return QLatin1String("convert(varbinary(8000),") + value + QLatin1Char(')');
    }
    QString inner = value;
    if (type == QLatin1String("text"))
        inner = QLatin1String("convert(varchar(max),") + value + QLatin1Char(')');
    else if (type == QLatin1String("ntext"))
        inner = QLatin1String("convert(nvarchar(max),") + value + QLatin1Char(')');
    return QLatin1String("convert(varbinary(max),") + inner + QLatin1Char(')');
}

// The columns a merge writes: all but an identity column it leaves to the
// target.
QList<ColumnInfo> writtenColumns(const StagedTable& table) {
    QList<ColumnInfo> columns;
    for (const ColumnInfo& column : table.columns.columns)
        if (!(column.Identity && table.identityLeftToTarget))
            columns.append(column);
    return columns;
}

QString nameList(const QList<ColumnInfo>& columns) {
    QStringList names;
    for (const ColumnInfo& column : columns)
        names.append(sqlIdentifier(column.ColumnName));
    return names.join(u',');
}

} // namespace

QString keyMatch(const QStringList& key, const QString& target) {
    QStringList pairs;
    for (const QString& column : key)
        pairs.append(qualified(target, column) + QLatin1Char('=') +
                     qualified(QStringLiteral("s"), column));
    return pairs.join(QLatin1String(" and "));
}

QString mergeUpdate(const StagedTable& table, bool sql2005Plus) {
    QStringList assignments;
    for (const ColumnInfo& column : table.columns.columns) {
        // The server keeps identity values as they are; a key of them matches anyway.
        if (column.Identity)
            continue;
        const QString name = sqlIdentifier(column.ColumnName);
        assignments.append(name + QLatin1String("=s.") + name);
    }
    if (assignments.isEmpty())
        return {};
    QString statement = QLatin1String("update t set ") + assignments.join(u',') +
                        QLatin1String(" from ") + table.tableName + QLatin1String(" t join ") +
                        table.stagingName + QLatin1String(" s on ") + keyMatch(table.key);
    const QString difference = differenceCondition(table, sql2005Plus);
    if (!difference.isEmpty())
        statement += QLatin1String(" where ") + difference;
    return statement + QLatin1String("\r\n");
}

QString mergeInsert(const StagedTable& table) {
    const QString columns = nameList(writtenColumns(table));
    return QLatin1String("insert into ") + table.tableName + QLatin1String(" (") + columns +
           QLatin1String(") select ") + columns + QLatin1String(" from ") + table.stagingName +
           QLatin1String(" s where not exists (select * from ") + table.tableName +
           QLatin1String(" t where ") + keyMatch(table.key) + QLatin1String(")\r\n");
}

QString mergeDelete(const StagedTable& table) {
    QString condition;
    if (!table.rowFilter.isEmpty())
        condition = QLatin1Char('(') + table.rowFilter + QLatin1String(") and ");
    return QLatin1String("delete t from ") + table.tableName + QLatin1String(" t where ") +
           condition + QLatin1String("not exists (select * from ") + table.stagingName +
           QLatin1String(" s where ") + keyMatch(table.key) + QLatin1String(")\r\n");
}

QString keyQuery(bool sql2005Plus, qint32 objectId) {
    const QString id = QString::number(objectId);
    if (sql2005Plus)
        return QLatin1String(
                   "select c.name,convert(tinyint,i.is_primary_key) pk,i.index_id,"
                   "convert(tinyint,c.is_computed) computed "
                   "from sys.indexes i join sys.index_columns k on k.object_id=i.object_id "
                   "and k.index_id=i.index_id "
                   "join sys.columns c on c.object_id=k.object_id and c.column_id=k.column_id "
                   "where i.object_id=") +
               id +
               QLatin1String(" and (i.is_primary_key=1 or i.is_unique=1) "
                             "and k.is_included_column=0 and not exists (select * from "
                             "sys.index_columns x join sys.columns y on y.object_id=x.object_id "
                             "and y.column_id=x.column_id where x.object_id=i.object_id "
                             "and x.index_id=i.index_id and y.is_nullable=1 and y.is_computed=0) "
                             "order by 2 desc,3,k.key_ordinal");
    // Before 2005: status 2 marks a unique index, 2048 a primary key.
    return QLatin1String("select c.name,(i.status&2048)/2048 pk,i.indid,c.iscomputed "
                         "from sysindexes i join sysindexkeys k on k.id=i.id and k.indid=i.indid "
                         "join syscolumns c on c.id=k.id and c.colid=k.colid "
                         "where i.id=") +
           id +
           QLatin1String(" and i.indid between 1 and 254 and (i.status&2)=2 "
                         "and not exists (select * from sysindexkeys x join syscolumns y "
                         "on y.id=x.id and y.colid=x.colid where x.id=i.id and x.indid=i.indid "
                         "and y.isnullable=1 and y.iscomputed=0) "
                         "order by 2 desc,3,k.keyno");
}

QStringList firstKey(const QList<KeyColumn>& rows) {
    QSet<qint32> computedKeys;
    for (const KeyColumn& row : rows)
        if (row.computed)
            computedKeys.insert(row.indexId);
    std::optional<qint32> chosen;
    QStringList key;
    for (const KeyColumn& row : rows) {
        if (!chosen && !computedKeys.contains(row.indexId))
            chosen = row.indexId;
        if (chosen && row.indexId == *chosen)
            key.append(row.name);
    }
    return key;
}

QString computedKeyColumn(const QList<KeyColumn>& rows) {
    for (const KeyColumn& row : rows)
        if (row.computed)
            return row.name;
    return {};
}

QString stagingTable(const StagedTable& table) {
    // The union keeps the identity property off the staging table, so that
    // only the target ever needs identity inserts; its columns keep the
    // target's types, nullability and collations.
    const QString select = QLatin1String("select ") + table.columns.selectList +
                           QLatin1String(" from ") + table.tableName + QLatin1String(" where 1=0");
    return QLatin1String("if object_id('tempdb..") + table.stagingName +
           QLatin1String("') is not null drop table ") + table.stagingName +
           QLatin1String("\r\nselect ") + table.columns.selectList + QLatin1String(" into ") +
           table.stagingName + QLatin1String(" from ") + table.tableName +
           QLatin1String(" where 1=0 union all ") + select + QLatin1String("\r\n") + batchEnd();
}

QString differenceCondition(const StagedTable& table, bool sql2005Plus) {
    QStringList differences;
    for (const ColumnInfo& column : writtenColumns(table)) {
        const QString name = sqlIdentifier(column.ColumnName);
        const QString target = qualified(QStringLiteral("t"), name);
        const QString source = qualified(QStringLiteral("s"), name);
        const QString targetBytes = bytesOf(column, target, sql2005Plus);
        if (targetBytes.isEmpty())
            return {};
        differences.append(
            QLatin1Char('(') + target + QLatin1String(" is null and ") + source +
            QLatin1String(" is not null or ") + target + QLatin1String(" is not null and ") +
            source + QLatin1String(" is null or datalength(") + target +
            QLatin1String(")<>datalength(") + source + QLatin1String(") or ") + targetBytes +
            QLatin1String("<>") + bytesOf(column, source, sql2005Plus) + QLatin1Char(')'));
    }
    return differences.join(QLatin1String(" or "));
}

} // namespace quarvex
