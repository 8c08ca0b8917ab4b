#include "scripting/ScriptTable.h"

#include "base/Blanks.h"
#include "base/LeadingNumber.h"
#include "base/ProcedureError.h"
#include "db/RecordSet.h"
#include "db/ServerConnection.h"
#include "model/ObjectKinds.h"
#include "scripting/BoxPrint.h"
#include "scripting/ReportSkip.h"
#include "scripting/ScriptContext.h"
#include "scripting/TableScript.h"

#include <optional>

namespace quarvex {

namespace {

constexpr int rowsPerBatch = 100;
constexpr qsizetype batchCharacters = 32768;

QString textOf(const QVariant& value) {
    return value.isValid() ? value.toString() : QString();
}

// Positions of the fields each column's values come from, found once.
struct FieldPositions {
    QList<int> value;
    QList<int> milliseconds;
};

int requirePosition(const RecordSet& records, const QString& name) {
    const int position = records.fieldPosition(name);
    if (position < 0)
        raise(QStringLiteral("Item cannot be found in the collection corresponding to the "
                             "requested name or ordinal."));
    return position;
}

FieldPositions fieldPositions(const RecordSet& records, const TableColumns& columns) {
    FieldPositions positions;
    for (const ColumnInfo& column : columns.columns) {
        positions.value.append(requirePosition(records, column.ColumnName));
        positions.milliseconds.append(
            column.MsAlias.isEmpty() ? -1 : requirePosition(records, column.MsAlias));
    }
    return positions;
}

} // namespace

bool ScriptTable(ScriptContext& context, qint32 objectId, const QString& objectName,
                 const QString& owner, OdbcConnection& connection) {
    const QString tableFile = context.outputFile(factsOf(ObjectKind::Table).fileName);
    const QString scratchFile = context.outputFile(scratchFileName);
    const QString loadMessage =
        QLatin1String("Loading %n rows to ") + objectName + QLatin1String("...");
    const QString tableName = owner + QLatin1Char('.') + objectName;
    const TextFiles files = context.files();
    const bool group = context.settings.group();
    QString query;
    std::optional<RecordSet> records;

    const auto failure = failureOf([&] {
        const bool sql2005Plus = IsSQL2005Plus(connection);
        query = columnQuery(sql2005Plus, objectId);
        // Created anew each time: a link planted under the scratch file's name
        // must not lead the table's rows into another file.
        files.WriteNewFile(scratchFile, QString());

        TableColumns columns;
        records.emplace(connection, query);
        for (; !records->atEnd(); records->moveNext()) {
            columns.add(trimmedBlanks(textOf(records->value(0))),
                        trimmedBlanks(textOf(records->value(1))),
                        leadingNumber(textOf(records->value(2))) != 0,
                        leadingNumber(textOf(records->value(4))) != 0);
        }
        records.reset();

        QString buffer = BoxPrint(loadMessage);
        if (!group)
            buffer += truncation(tableName);
        const bool identity = !columns.identityColumn.isEmpty();
        if (identity)
            buffer += identityInsert(tableName, true);

        query = rowQuery(tableName, columns);
        records.emplace(connection, query);
        const FieldPositions positions = fieldPositions(*records, columns);
        const QString insertHead = QLatin1String("insert into ") + tableName + QLatin1String(" (") +
                                   columns.selectList + QLatin1String(") values (");
        qint32 rowCount = 0;
        for (; !records->atEnd(); records->moveNext()) {
            buffer += insertHead;
            for (int i = 0; i < columns.columns.size(); ++i) {
                if (i > 0)
                    buffer += QLatin1Char(',');
                const QVariant value = records->value(positions.value[i]);
                const QVariant milliseconds = positions.milliseconds[i] < 0
                                                  ? QVariant()
                                                  : records->value(positions.milliseconds[i]);
                buffer +=
                    valueLiteral(columns.columns[i].ColumnClass, value, milliseconds, sql2005Plus);
            }
            buffer += QLatin1String(")\r\n");
            ++rowCount;
            if (rowCount % rowsPerBatch == 0 || buffer.size() > batchCharacters) {
                buffer += batchEnd();
                files.AppendFile(scratchFile, buffer);
                buffer.clear();
            }
        }
        records.reset();

        if (!buffer.isEmpty() && rowCount > 0)
            buffer += batchEnd();
        if (identity) {
            buffer += identityInsert(tableName, false);
            if (group)
                buffer += reseed(tableName);
        }
        if (!buffer.isEmpty())
            files.AppendFile(scratchFile, buffer);

        // The note with "%n" opens the scratch file; the table's script is
        // that file with the counted note in its place.
        const QString countedMessage =
            QString(loadMessage).replace(QLatin1String("%n"), QString::number(rowCount));
        files.AppendFileWithCopy(tableFile, BoxPrint(countedMessage), scratchFile,
                                 BoxPrint(loadMessage));
    });
    if (!failure)
        return true;

    records.reset();
    // A lost connection or a script file that cannot be written would fail
    // every table after this one too: the run ends here instead.
    if (failure->endsRun())
        raise(AppendErrorContext(QLatin1String("ScriptTable: ") + failure->description, query),
              failure->kind);
    context.fields.LastError = AppendErrorContext(
        QLatin1String("Table ") + objectName + QLatin1String(" skipped: ") + failure->description,
        query);
    ReportSkip(context.toolkit, files, context.fields.LastError, tableFile);
    return false;
}

} // namespace quarvex
