#include "scripting/ScriptTable.h"

#include "base/Blanks.h"
#include "base/LeadingNumber.h"
#include "base/ProcedureError.h"
#include "db/RecordSet.h"
#include "db/ServerConnection.h"
#include "model/ObjectKinds.h"
#include "scripting/BoxPrint.h"
#include "scripting/IdentityCounter.h"
#include "scripting/MergeScript.h"
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
                      numberOf(records, 3) != 0, numberOf(records, 4) != 0};
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

// Why a table's rows are deleted rather than truncated when truncation is
// asked for; empty when a truncation serves.
QString truncationReason(const QString& rowFilter, const TableFacts& facts,
                         bool referencedByAnotherTable) {
    if (!rowFilter.isEmpty())
        return QStringLiteral("a truncation cannot keep the rows outside its row filter");
    if (truncationRefused(facts))
        return truncationRefusal(facts);
    if (referencedByAnotherTable)
        return QStringLiteral("another table's foreign key references it, and the server "
                              "refuses to truncate such a table");
    return {};
}

// One table's script as it is written into the table file: the note with the
// row count the server expects, the staging table, the rows in batches into
// it; then the note with the rows counted in its place (the same unless the
// source changed in between). The apply step at the end of the file moves
// the staged rows into the table.
class TableWriter {
public:
    TableWriter(ScriptContext& context, const QString& objectName, const QString& owner,
                const QString& rowFilter)
        : m_files(context.files())
        , m_tableFile(context.scriptFile(ObjectKind::Table))
        , m_scratchFile(context.outputFile(scratchFileName))
        , m_mode(context.loadMode())
        , m_readFrom(context.reading.source(owner + QLatin1Char('.') + objectName))
        , m_loadMessage(QLatin1String(m_mode == LoadMode::Merge ? "Staging %n rows of "
                                                                : "Loading %n rows to ") +
                        objectName + QLatin1String("..."))
        , m_buffer(m_files.writesUtf8(m_tableFile)) {
        m_staged.tableName = owner + QLatin1Char('.') + objectName;
        m_staged.stagingName = stagingName(int(context.staged.size()) + 1);
        m_staged.rowFilter = rowFilter;
    }

    const QString& tableFile() const { return m_tableFile; }
    const QString& tableName() const { return m_staged.tableName; }
    const StagedTable& staged() const { return m_staged; }

    // expectedRows: what the server expects to send, or -1 when unknown.
    void begin(const TableColumns& columns, const QStringList& key, const TableFacts& facts,
               bool referencedByAnotherTable, const std::optional<IdentityCounter>& counter,
               qint32 expectedRows) {
        m_block.emplace(m_files, m_tableFile, countedNote(expectedRows));
        m_staged.columns = columns;
        m_staged.key = key;
        m_counter = counter;
        const QString& identity = columns.identityColumn;
        m_staged.identityLeftToTarget =
            m_mode == LoadMode::Merge && !identity.isEmpty() && !key.contains(identity);
        if (m_staged.identityLeftToTarget)
            m_buffer +=
                BoxPrint(m_staged.tableName + QLatin1String(": its identity column ") + identity +
                         QLatin1String(" is left to the target, neither compared nor "
                                       "inserted"));
        if (m_mode == LoadMode::Truncate) {
            m_staged.deleteReason =
                truncationReason(m_staged.rowFilter, facts, referencedByAnotherTable);
            m_staged.truncate = m_staged.deleteReason.isEmpty();
        }
        m_buffer += stagingTable(m_staged);
    }

    void writeRows(OdbcConnection& connection, bool sql2005Plus, ProgressMeter& progress) {
        const TableColumns& columns = m_staged.columns;
        RecordSet records(connection, rowQuery(m_readFrom, columns, m_staged.rowFilter),
                          RowFetch::InBlocks);
        const FieldPositions positions = fieldPositions(records, columns);
        m_buffer.setRowHead(QLatin1String("insert into ") + m_staged.stagingName +
                            QLatin1String(" (") + columns.selectList + QLatin1String(") values ("));
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

    // The last batch's end, then the scratch file behind the counted note in
    // place of the "%n" note that opens it.
    void finish() {
        if (m_buffer.size() > m_batchStart && m_rowCount > 0)
            m_buffer += batchEnd();
        m_staged.rowCount = m_rowCount;
        m_staged.reseed = reseedStatements();
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

    // Deletes, unlike a truncation, leave the target's counter where it was,
    // so the pair (or a reseed) must always follow them; a merge deletes.
    QString reseedStatements() const {
        if (m_staged.columns.identityColumn.isEmpty() || m_staged.identityLeftToTarget)
            return {};
        const bool emptiedByDeletes = !m_staged.truncate;
        const auto value =
            m_counter ? explicitReseed(*m_counter, emptiedByDeletes, m_rowCount) : std::nullopt;
        if (value)
            return reseedTo(m_staged.tableName, *value);
        return emptiedByDeletes ? reseed(m_staged.tableName) : QString();
    }

    QString countedNote(qint32 rows) const {
        if (rows < 0)
            return BoxPrint(m_loadMessage);
        return BoxPrint(QString(m_loadMessage).replace(QLatin1String("%n"), QString::number(rows)));
    }

    const TextFiles m_files;
    const QString m_tableFile;
    const QString m_scratchFile;
    const LoadMode m_mode;
    const QString m_readFrom; // the table, with the hint that holds its lock
    const QString m_loadMessage;
    StagedTable m_staged;
    std::optional<IdentityCounter> m_counter;
    std::optional<BlockAppender> m_block;
    ScriptBuffer m_buffer;
    qint32 m_rowCount = 0;
    qsizetype m_batchStart = 0; // where the buffer's current batch begins
};

// The keys a merge may match rows on, and that tell the rows a row filter
// fences off.
QList<KeyColumn> readKeys(OdbcConnection& connection, bool sql2005Plus, qint32 objectId) {
    QList<KeyColumn> rows;
    for (RecordSet records(connection, keyQuery(sql2005Plus, objectId)); !records.atEnd();
         records.moveNext())
        rows.append(KeyColumn{trimmedBlanks(textOf(records.value(0))),
                              qint32(leadingNumber(textOf(records.value(2)))),
                              leadingNumber(textOf(records.value(3))) != 0});
    return rows;
}

// The first key's columns in SQL form; a merge raises without one.
QStringList readKey(OdbcConnection& connection, bool sql2005Plus, qint32 objectId, bool merge) {
    const QList<KeyColumn> rows = readKeys(connection, sql2005Plus, objectId);
    QStringList key;
    for (const QString& column : firstKey(rows))
        key.append(sqlIdentifier(column));
    if (!merge || !key.isEmpty())
        return key;
    const QString computed = computedKeyColumn(rows);
    if (!computed.isEmpty())
        raise(QLatin1String("has no key to merge on but one over the computed column ") +
              sqlIdentifier(computed) + QLatin1String(", which the staged rows do not hold"));
    raise(QStringLiteral("has no primary key or unique key to merge on"));
}

// The rows the row query is about to return, so that the note naming their
// number goes in front of them at once and they are written only once; -1
// when the server cannot tell (a count beyond int). A source that changes in
// between costs a move of the table's script, never a wrong note.
qint32 expectedRowCount(OdbcConnection& connection, const ScriptContext& context,
                        const QString& tableName, const QString& rowFilter) {
    qint32 rows = -1;
    const auto failure = failureOf([&] {
        RecordSet records(connection, rowCountQuery(context.reading.source(tableName), rowFilter));
        bool ok = false;
        const qint64 count = records.atEnd() ? -1 : textOf(records.value(0)).toLongLong(&ok);
        if (ok && count >= 0 && count <= std::numeric_limits<qint32>::max())
            rows = qint32(count);
    });
    if (!failure)
        return rows;
    if (const Failure judged = context.reading.judged(*failure, tableName); judged.endsRun())
        raise(judged);
    return rows;
}

} // namespace

bool ScriptTable(ScriptContext& context, const ObjectRef& table, const QString& objectName,
                 const QString& owner, OdbcConnection& connection, bool referencedByAnotherTable) {
    const qint32 objectId = table.id;
    TableWriter writer(context, objectName, owner, table.rowFilter);
    const auto failure = failureOf([&] {
        const bool sql2005Plus = IsSQL2005Plus(connection);
        // The facts from 2014 on, the generated columns from 2016 on; below,
        // they are never asked for.
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
        const bool merge = context.settings.merge();
        const QStringList key = merge || !table.rowFilter.isEmpty()
                                    ? readKey(connection, sql2005Plus, objectId, merge)
                                    : QStringList();
        const qint32 expectedRows =
            expectedRowCount(connection, context, writer.tableName(), table.rowFilter);
        writer.begin(columns, key, facts, referencedByAnotherTable, counter, expectedRows);
        context.progress.beginRows(expectedRows);
        writer.writeRows(connection, sql2005Plus, context.progress);
        writer.finish();
        StagedTable staged = writer.staged();
        staged.objectId = objectId;
        context.staged.append(staged);
    });
    if (!failure)
        return true;

    writer.discard();
    skipOrEndRun(context, QStringLiteral("ScriptTable"),
                 QLatin1String("Table ") + objectName + QLatin1String(" skipped: "),
                 context.reading.judged(*failure, writer.tableName()), writer.tableFile());
    return false;
}

} // namespace quarvex
