#include "scripting/ScriptTable.h"

#include "base/Blanks.h"
#include "base/LeadingNumber.h"
#include "base/ProcedureError.h"
#include "db/RecordSet.h"
#include "db/ServerConnection.h"
#include "model/ObjectKinds.h"
#include "scripting/BoxPrint.h"
#include "scripting/IdentityCounter.h"
#include "scripting/ReportSkip.h"
#include "scripting/ScriptContext.h"
#include "scripting/TableFacts.h"
#include "scripting/TableScript.h"
#include "scripting/VariantLiteral.h"

#include <optional>

namespace quarvex {

namespace {

constexpr int rowsPerBatch = 100;
constexpr qsizetype batchCharacters = 32768;

QString textOf(const QVariant& value) {
    return value.isValid() ? value.toString() : QString();
}

// Positions of the fields each column's values come from: the select list
// in column order, then the milliseconds of the date columns in the same
// order, then the three helper fields of each sql_variant column. Found by
// position, not by name: a column may be named like the alias of another
// column's milliseconds.
struct FieldPositions {
    QList<int> value;
    QList<int> milliseconds;
    QList<int> variant; // the first helper field
};

FieldPositions fieldPositions(const RecordSet& records, const TableColumns& columns) {
    FieldPositions positions;
    int next = int(columns.columns.size());
    for (int i = 0; i < columns.columns.size(); ++i) {
        positions.value.append(i);
        positions.milliseconds.append(columns.columns[i].MsAlias.isEmpty() ? -1 : next++);
    }
    for (const ColumnInfo& column : columns.columns) {
        const bool variant = column.ColumnClass == ColumnClass::Variant;
        positions.variant.append(variant ? next : -1);
        next += variant ? 3 : 0;
    }
    if (records.fieldCount() != next)
        raise(QStringLiteral("The row query returned %1 columns where %2 were asked for")
                  .arg(records.fieldCount())
                  .arg(next));
    return positions;
}

// The type of the current row of the column query; the base type and the
// scale are there only with the newer types.
ColumnType columnType(const RecordSet& records, bool newerTypes) {
    ColumnType type{trimmedBlanks(textOf(records.value(1))), {}, 0};
    if (newerTypes) {
        type.base = trimmedBlanks(textOf(records.value(5)));
        type.scale = int(leadingNumber(textOf(records.value(6))));
    }
    return type;
}

int numberOf(const RecordSet& records, int position) {
    return int(leadingNumber(textOf(records.value(position))));
}

TableFacts readFacts(OdbcConnection& connection, int serverVersion, qint32 objectId) {
    const QString query = tableFactsQuery(serverVersion, objectId);
    if (query.isEmpty())
        return {};
    RecordSet records(connection, query);
    if (records.atEnd())
        return {};
    return TableFacts{numberOf(records, 0), numberOf(records, 1), numberOf(records, 2) != 0,
                      numberOf(records, 3) != 0};
}

// The source's counter, when it reads as whole numbers of 64 bits; else
// none, and the usual statements stay.
std::optional<IdentityCounter> readIdentityCounter(OdbcConnection& connection,
                                                   const QString& tableName,
                                                   const TableColumns& columns, qint32 objectId) {
    RecordSet records(connection,
                      identityCounterQuery(tableName, columns.identityColumn, objectId));
    if (records.atEnd())
        return std::nullopt;
    bool currentOk = false;
    bool incrementOk = false;
    IdentityCounter counter;
    counter.current = textOf(records.value(0)).trimmed().toLongLong(&currentOk);
    counter.increment = textOf(records.value(1)).trimmed().toLongLong(&incrementOk);
    counter.used = numberOf(records, 2) != 0;
    bool highestOk = false;
    const qint64 highest = textOf(records.value(3)).trimmed().toLongLong(&highestOk);
    if (highestOk)
        counter.highest = highest;
    if (!currentOk || !incrementOk || counter.increment == 0)
        return std::nullopt;
    return counter;
}

TableColumns readColumns(OdbcConnection& connection, int serverVersion, qint32 objectId,
                         bool newerTypes) {
    const bool sql2005Plus = serverVersion >= 9;
    TableColumns columns;
    columns.newerTypes = newerTypes;
    columns.maxTypes = sql2005Plus;
    columns.dateTypes = serverVersion >= 10;
    for (RecordSet records(connection,
                           columnQuery(sql2005Plus, objectId, newerTypes, serverVersion >= 13));
         !records.atEnd(); records.moveNext())
        columns.add(trimmedBlanks(textOf(records.value(0))), columnType(records, newerTypes),
                    leadingNumber(textOf(records.value(2))) != 0,
                    leadingNumber(textOf(records.value(4))) != 0);
    return columns;
}

// One table's script as it is written: the statements before the rows, the
// rows in batches through the scratch file, the statements after them, then
// the whole into the table file behind the counted note.
class TableWriter {
public:
    TableWriter(ScriptContext& context, const QString& objectName, const QString& owner,
                bool inCycle)
        : m_files(context.files())
        , m_tableFile(context.scriptFile(ObjectKind::Table))
        , m_scratchFile(context.outputFile(scratchFileName))
        , m_objectName(objectName)
        , m_tableName(owner + QLatin1Char('.') + objectName)
        , m_loadMessage(QLatin1String("Loading %n rows to ") + objectName + QLatin1String("..."))
        , m_group(context.settings.group())
        , m_inCycle(inCycle) {}

    const QString& tableFile() const { return m_tableFile; }

    const QString& tableName() const { return m_tableName; }

    void begin(const TableColumns& columns, const TableFacts& facts,
               const std::optional<IdentityCounter>& counter) {
        // Created anew each time: a link planted under the scratch file's
        // name must not lead the table's rows into another file. It stays
        // open for the table's batches.
        m_scratch.emplace(m_files, m_scratchFile);
        m_identity = !columns.identityColumn.isEmpty();
        m_counter = counter;
        m_buffer = BoxPrint(m_loadMessage);
        const bool truncationRefusedHere = truncationRefused(facts);
        m_emptiedByDeletes = m_group || truncationRefusedHere || m_inCycle;
        if (!m_group && truncationRefusedHere)
            m_buffer += deletionInsteadOfTruncation(m_objectName, m_tableName, facts);
        else if (!m_group && m_inCycle)
            m_buffer += cycleDeletion(m_tableName);
        else if (!m_group)
            m_buffer += truncation(m_tableName);
        if (m_identity)
            m_buffer += identityInsert(m_tableName, true);
    }

    void writeRows(OdbcConnection& connection, const TableColumns& columns, bool sql2005Plus) {
        RecordSet records(connection, rowQuery(m_tableName, columns), RowFetch::InBlocks);
        const FieldPositions positions = fieldPositions(records, columns);
        const QString insertHead = QLatin1String("insert into ") + m_tableName +
                                   QLatin1String(" (") + columns.selectList +
                                   QLatin1String(") values (");
        for (; !records.atEnd(); records.moveNext()) {
            m_buffer += insertHead;
            for (int i = 0; i < columns.columns.size(); ++i) {
                if (i > 0)
                    m_buffer += QLatin1Char(',');
                const int msPosition = positions.milliseconds[i];
                const FieldValue* milliseconds =
                    msPosition < 0 ? nullptr : &records.field(msPosition);
                const ColumnInfo& column = columns.columns[i];
                if (const int helpers = positions.variant[i]; helpers >= 0)
                    appendVariantLiteral(m_buffer, VariantFields{records.field(positions.value[i]),
                                                                 records.field(helpers),
                                                                 records.field(helpers + 1),
                                                                 records.field(helpers + 2)});
                else
                    appendValueLiteral(m_buffer, column.ColumnClass,
                                       records.field(positions.value[i]), milliseconds, sql2005Plus,
                                       column.Scale);
            }
            m_buffer += QLatin1String(")\r\n");
            ++m_rowCount;
            if (m_rowCount % rowsPerBatch == 0 || m_buffer.size() > batchCharacters) {
                m_buffer += batchEnd();
                flush();
            }
        }
    }

    // The statements after the rows, then the scratch file behind the
    // counted note in place of the "%n" note that opens it.
    void finish() {
        if (!m_buffer.isEmpty() && m_rowCount > 0)
            m_buffer += batchEnd();
        if (m_identity) {
            m_buffer += identityInsert(m_tableName, false);
            // Deletes, unlike a truncation, leave the target's counter where
            // it was, so the pair (or a reseed) must always follow them.
            const auto value = m_counter
                                   ? explicitReseed(*m_counter, m_emptiedByDeletes, m_rowCount)
                                   : std::nullopt;
            if (value)
                m_buffer += reseedTo(m_tableName, *value);
            else if (m_emptiedByDeletes)
                m_buffer += reseed(m_tableName);
        }
        if (!m_buffer.isEmpty())
            flush();
        m_scratch->close();
        const QString countedMessage =
            QString(m_loadMessage).replace(QLatin1String("%n"), QString::number(m_rowCount));
        m_files.AppendFileWithCopy(m_tableFile, BoxPrint(countedMessage), m_scratchFile,
                                   BoxPrint(m_loadMessage));
    }

private:
    void flush() {
        m_scratch->append(m_buffer);
        m_buffer.resize(0); // keeps the memory for the next batch
    }

    const TextFiles m_files;
    const QString m_tableFile;
    const QString m_scratchFile;
    const QString m_objectName;
    const QString m_tableName;
    const QString m_loadMessage;
    const bool m_group;
    const bool m_inCycle;
    bool m_identity = false;
    bool m_emptiedByDeletes = false;
    std::optional<IdentityCounter> m_counter;
    std::optional<NewFileAppender> m_scratch;
    QString m_buffer;
    qint32 m_rowCount = 0;
};

} // namespace

bool ScriptTable(ScriptContext& context, qint32 objectId, const QString& objectName,
                 const QString& owner, OdbcConnection& connection, bool inCycle) {
    TableWriter writer(context, objectName, owner, inCycle);
    const auto failure = failureOf([&] {
        const bool sql2005Plus = IsSQL2005Plus(connection);
        // From 2016 on; below, the facts and the generated columns are never asked for.
        const int serverVersion = sql2005Plus ? ServerVersion(connection) : 8;
        const TableFacts facts = readFacts(connection, serverVersion, objectId);
        refuseUnloadable(facts);
        const TableColumns columns =
            readColumns(connection, serverVersion, objectId, context.settings.newTypes());
        // The catalogue view that tells the counter came with 2005.
        const std::optional<IdentityCounter> counter =
            sql2005Plus && !columns.identityColumn.isEmpty()
                ? readIdentityCounter(connection, writer.tableName(), columns, objectId)
                : std::nullopt;
        writer.begin(columns, facts, counter);
        writer.writeRows(connection, columns, sql2005Plus);
        writer.finish();
    });
    if (!failure)
        return true;

    skipOrEndRun(context, QStringLiteral("ScriptTable"),
                 QLatin1String("Table ") + objectName + QLatin1String(" skipped: "), *failure,
                 writer.tableFile());
    return false;
}

} // namespace quarvex
