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
#include "scripting/SqlIdentifier.h"
#include "scripting/TableColumns.h"
#include "scripting/TableFacts.h"
#include "scripting/TableStatements.h"
#include "scripting/Utf8Script.h"
#include "scripting/ValueLiteral.h"
#include "scripting/VariantLiteral.h"

#include <limits>
#include <optional>

namespace quarvex {

namespace {

constexpr int rowsPerBatch = 100;
constexpr qsizetype batchCharacters = 32768;
// Batches are gathered up to about this many characters before they go to
// the file: fewer, larger writes cost the system less.
constexpr qsizetype writeCharacters = 1 << 20;

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

// The script not yet written to the scratch file. Where that file is UTF-8
// it is held as the file's bytes, so that a text goes from the driver's
// characters to them in one pass; otherwise as a QString. Its size counts
// UTF-16 code units either way.
class ScriptBuffer {
public:
    explicit ScriptBuffer(bool utf8)
        : m_utf8(utf8) {}

    qsizetype size() const { return m_utf8 ? m_bytes.size() : m_text.size(); }
    bool isEmpty() const { return size() == 0; }

    ScriptBuffer& operator+=(const QString& text) {
        if (m_utf8)
            m_bytes += QStringView(text);
        else
            m_text += text;
        return *this;
    }

    ScriptBuffer& operator+=(QLatin1StringView ascii) {
        if (m_utf8)
            m_bytes += ascii;
        else
            m_text += ascii;
        return *this;
    }

    // The text that opens every row, kept in the buffer's own form.
    void setRowHead(const QString& head) {
        m_rowHead = head;
        m_rowHeadBytes.clear();
        m_rowHeadBytes += QStringView(head);
    }

    void appendRowHead() {
        if (m_utf8)
            m_bytes += m_rowHeadBytes;
        else
            m_text += m_rowHead;
    }

    void appendValue(const ColumnInfo& column, const FieldValue& value,
                     const FieldValue* milliseconds, bool maxTypesAvailable) {
        if (!m_utf8)
            return appendValueLiteral(m_text, column.ColumnClass, value, milliseconds,
                                      maxTypesAvailable, column.Scale);
        appendValueLiteral(m_bytes, column.ColumnClass, value, milliseconds, maxTypesAvailable,
                           column.Scale);
    }

    // A variant's literal is short and rare; it goes through the text path.
    void appendVariant(const VariantFields& fields) {
        if (!m_utf8)
            return appendVariantLiteral(m_text, fields);
        QString literal;
        appendVariantLiteral(literal, fields);
        *this += literal;
    }

    // Appends the text to the file and empties it, keeping its memory.
    void moveTo(BlockAppender& file) {
        if (m_utf8) {
            file.appendUtf8(m_bytes.bytes());
            m_bytes.clear();
        } else {
            file.append(m_text);
            m_text.resize(0);
        }
    }

private:
    const bool m_utf8;
    QString m_text;
    Utf8Script m_bytes;
    QString m_rowHead;
    Utf8Script m_rowHeadBytes;
};

// One table's script as it is written into the table file: the note with the
// row count the server expects, the statements before the rows, the rows in
// batches, the statements after them; then the note with the rows counted
// in its place (the same unless the source changed in between).
class TableWriter {
public:
    TableWriter(ScriptContext& context, const QString& objectName, const QString& owner,
                const QString& rowFilter, bool inCycle)
        : m_files(context.files())
        , m_tableFile(context.scriptFile(ObjectKind::Table))
        , m_scratchFile(context.outputFile(scratchFileName))
        , m_objectName(objectName)
        , m_tableName(owner + QLatin1Char('.') + objectName)
        , m_rowFilter(rowFilter)
        , m_merge(context.settings.merge())
        , m_insertTable(m_merge ? stagingName(int(context.merges.size()) + 1) : m_tableName)
        , m_loadMessage(QLatin1String(m_merge ? "Staging %n rows of " : "Loading %n rows to ") +
                        objectName + QLatin1String("..."))
        , m_group(context.settings.group())
        , m_inCycle(inCycle)
        , m_buffer(m_files.writesUtf8(m_tableFile)) {}

    const QString& tableFile() const { return m_tableFile; }

    const QString& tableName() const { return m_tableName; }
    const QString& insertTable() const { return m_insertTable; }
    qint32 rowCount() const { return m_rowCount; }

    // expectedRows: what the server expects to send, or -1 when unknown.
    void begin(const TableColumns& columns, const TableFacts& facts,
               const std::optional<IdentityCounter>& counter, qint32 expectedRows) {
        m_block.emplace(m_files, m_tableFile, countedNote(expectedRows));
        if (m_merge) {
            // The rows are staged; identity values and counters are the
            // apply step's, which the server moves past inserted values.
            m_buffer += stagingTable(MergeTable{m_tableName, m_insertTable, {}, {}, columns, 0});
            return;
        }
        m_identity = !columns.identityColumn.isEmpty();
        m_counter = counter;
        const bool truncationRefusedHere = truncationRefused(facts);
        m_emptiedByDeletes =
            m_group || truncationRefusedHere || m_inCycle || !m_rowFilter.isEmpty();
        if (!m_group && !m_rowFilter.isEmpty())
            m_buffer += filteredDelete(m_tableName, m_rowFilter);
        else if (!m_group && truncationRefusedHere)
            m_buffer += deletionInsteadOfTruncation(m_objectName, m_tableName, facts);
        else if (!m_group && m_inCycle)
            m_buffer += cycleDeletion(m_tableName);
        else if (!m_group)
            m_buffer += truncation(m_tableName);
        if (m_identity)
            m_buffer += identityInsert(m_tableName, true);
    }

    void writeRows(OdbcConnection& connection, const TableColumns& columns, bool sql2005Plus,
                   ProgressMeter& progress) {
        RecordSet records(connection, rowQuery(m_tableName, columns, m_rowFilter),
                          RowFetch::InBlocks);
        const FieldPositions positions = fieldPositions(records, columns);
        m_buffer.setRowHead(QLatin1String("insert into ") + m_insertTable + QLatin1String(" (") +
                            columns.selectList + QLatin1String(") values ("));
        for (; !records.atEnd(); records.moveNext()) {
            m_buffer.appendRowHead();
            for (int i = 0; i < columns.columns.size(); ++i) {
                if (i > 0)
                    m_buffer += QLatin1StringView(",");
                const int msPosition = positions.milliseconds[i];
                const FieldValue* milliseconds =
                    msPosition < 0 ? nullptr : &records.field(msPosition);
                const FieldValue& value = records.field(positions.value[i]);
                if (const int helpers = positions.variant[i]; helpers >= 0)
                    m_buffer.appendVariant(VariantFields{value, records.field(helpers),
                                                         records.field(helpers + 1),
                                                         records.field(helpers + 2)});
                else
                    m_buffer.appendValue(columns.columns[i], value, milliseconds, sql2005Plus);
            }
            m_buffer += QLatin1StringView(")\r\n");
            ++m_rowCount;
            progress.row();
            if (m_rowCount % rowsPerBatch == 0 ||
                m_buffer.size() - m_batchStart > batchCharacters) {
                m_buffer += batchEnd();
                if (m_buffer.size() > writeCharacters)
                    flush();
                m_batchStart = m_buffer.size();
            }
        }
    }

    // The statements after the rows, then the scratch file behind the
    // counted note in place of the "%n" note that opens it.
    void finish() {
        if (m_buffer.size() > m_batchStart && m_rowCount > 0)
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
        m_block->finish(countedNote(m_rowCount), m_scratchFile);
    }

    // Takes back what a table that fails part way has written.
    void discard() {
        if (m_block)
            m_block->discard();
    }

private:
    void flush() { m_buffer.moveTo(*m_block); }

    QString countedNote(qint32 rows) const {
        if (rows < 0)
            return BoxPrint(m_loadMessage);
        return BoxPrint(QString(m_loadMessage).replace(QLatin1String("%n"), QString::number(rows)));
    }

    const TextFiles m_files;
    const QString m_tableFile;
    const QString m_scratchFile;
    const QString m_objectName;
    const QString m_tableName;
    const QString m_rowFilter;
    const bool m_merge;
    const QString m_insertTable;
    const QString m_loadMessage;
    const bool m_group;
    const bool m_inCycle;
    bool m_identity = false;
    bool m_emptiedByDeletes = false;
    std::optional<IdentityCounter> m_counter;
    std::optional<BlockAppender> m_block;
    ScriptBuffer m_buffer;
    qint32 m_rowCount = 0;
    qsizetype m_batchStart = 0; // where the buffer's current batch begins
};

// The key a merge matches rows on; raises when the table has none.
QStringList readKey(OdbcConnection& connection, bool sql2005Plus, qint32 objectId) {
    QList<KeyColumn> rows;
    for (RecordSet records(connection, keyQuery(sql2005Plus, objectId)); !records.atEnd();
         records.moveNext())
        rows.append(KeyColumn{trimmedBlanks(textOf(records.value(0))),
                              qint32(leadingNumber(textOf(records.value(2))))});
    QStringList key;
    for (const QString& column : firstKey(rows))
        key.append(sqlIdentifier(column));
    if (key.isEmpty())
        raise(QStringLiteral("has no primary key or unique key to merge on"));
    return key;
}

// The rows the row query is about to return, so that the note naming their
// number goes in front of them at once and they are written only once; -1
// when the server cannot tell (a count beyond int). A source that changes in
// between costs a move of the table's script, never a wrong note.
qint32 expectedRowCount(OdbcConnection& connection, const QString& tableName,
                        const QString& rowFilter) {
    qint32 rows = -1;
    const auto failure = failureOf([&] {
        RecordSet records(connection, rowCountQuery(tableName, rowFilter));
        bool ok = false;
        const qint64 count = records.atEnd() ? -1 : textOf(records.value(0)).toLongLong(&ok);
        if (ok && count >= 0 && count <= std::numeric_limits<qint32>::max())
            rows = qint32(count);
    });
    if (failure && failure->endsRun())
        raise(*failure);
    return rows;
}

} // namespace

bool ScriptTable(ScriptContext& context, const ObjectRef& table, const QString& objectName,
                 const QString& owner, OdbcConnection& connection, bool inCycle) {
    const qint32 objectId = table.id;
    TableWriter writer(context, objectName, owner, table.rowFilter, inCycle);
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
        const QStringList key =
            context.settings.merge() ? readKey(connection, sql2005Plus, objectId) : QStringList();
        const qint32 expectedRows =
            expectedRowCount(connection, writer.tableName(), table.rowFilter);
        writer.begin(columns, facts, counter, expectedRows);
        context.progress.beginRows(expectedRows);
        writer.writeRows(connection, columns, sql2005Plus, context.progress);
        writer.finish();
        if (context.settings.merge())
            context.merges.append(MergeTable{writer.tableName(), writer.insertTable(),
                                             table.rowFilter, key, columns, writer.rowCount()});
    });
    if (!failure)
        return true;

    writer.discard();
    skipOrEndRun(context, QStringLiteral("ScriptTable"),
                 QLatin1String("Table ") + objectName + QLatin1String(" skipped: "), *failure,
                 writer.tableFile());
    return false;
}

} // namespace quarvex
