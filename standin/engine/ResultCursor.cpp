#include "standin/engine/ResultCursor.h"

#include "standin/engine/SqliteError.h"
#include "standin/values/ValueConversion.h"
#include "standin/values/Variant.h"

#include <sqlite3.h>

namespace quarvex::standin {

namespace {

// Character and binary types whose length an expression may outgrow (a
// function result typed after its first argument).
bool mayOutgrow(const SqlType& type) {
    const bool text = type.base == BaseType::Char || type.base == BaseType::VarChar ||
                      type.base == BaseType::NChar || type.base == BaseType::NVarChar;
    const bool binary = type.base == BaseType::Binary || type.base == BaseType::VarBinary;
    return (text || binary) && !type.isMax();
}

// What the values of a column say of its type, learnt one value at a time.
struct ValueMeasure {
    SqlType type{BaseType::Int, 0, 0, 0}; // when nothing else tells it
    bool seen = false;
    int longest = 0;

    void see(const QVariant& v) {
        switch (v.typeId()) {
        case QMetaType::LongLong:
            if (!seen || type.base == BaseType::Int)
                type = SqlType{v.toLongLong() >= INT32_MIN && v.toLongLong() <= INT32_MAX &&
                                       type.base != BaseType::BigInt
                                   ? BaseType::Int
                                   : BaseType::BigInt,
                               0, 0, 0};
            seen = true;
            break;
        case QMetaType::Double:
            type = SqlType{BaseType::Float, 0, 0, 0}, seen = true;
            break;
        case QMetaType::QString:
            if (type.base != BaseType::NText)
                type = v.toString().size() > 4000 ? SqlType{BaseType::NText, 0, 0, 0}
                                                  : SqlType{BaseType::NVarChar, 4000, 0, 0};
            seen = true;
            break;
        case QMetaType::QByteArray:
            if (type.base != BaseType::Image)
                type = v.toByteArray().size() > 8000 ? SqlType{BaseType::Image, 0, 0, 0}
                                                     : SqlType{BaseType::VarBinary, 8000, 0, 0};
            seen = true;
            break;
        default:
            break;
        }
        if (v.typeId() == QMetaType::QByteArray)
            longest = qMax(longest, int(v.toByteArray().size()));
        else if (!v.isNull())
            longest = qMax(longest, int(v.toString().size()));
    }
};

// The column grows to hold its longest value, so that no value is longer
// than its column on the wire.
void widenToFit(SqlType& type, int longest) {
    if (!mayOutgrow(type) || longest <= type.length)
        return;
    const int limit = type.isUnicode() ? 4000 : 8000;
    if (longest <= limit) {
        type.length = longest;
        return;
    }
    const bool binary = type.base == BaseType::Binary || type.base == BaseType::VarBinary;
    type = SqlType{binary             ? BaseType::Image
                   : type.isUnicode() ? BaseType::NText
                                      : BaseType::Text,
                   0, 0, 0};
}

} // namespace

ResultCursor::ResultCursor(EngineContext& context, Session& session, const Statement& statement,
                           bool describeOnly)
    : m_context(context)
    , m_session(session)
    , m_query(context.db(), statement.sql) {
    if (!m_query.ok())
        throw sqliteErrorFrom(m_query.error());
    const EngineContext::ActiveSession active(context, session);
    settleColumns(statement);
    if (!describeOnly)
        m_onRow = step();
}

// The declared type of a column the query names directly (through views
// and derived tables too), else what the select list says, else what the
// values are.
void ResultCursor::settleColumns(const Statement& statement) {
    sqlite3_stmt* handle = m_query.handle();
    const int count = sqlite3_column_count(handle);
    QList<int> measured;
    QList<bool> typeUnknown;
    for (int i = 0; i < count; ++i) {
        ResultColumn column;
        column.name = QString::fromUtf8(sqlite3_column_name(handle, i));
        std::optional<SqlType> type;
        if (const char* declared = sqlite3_column_decltype(handle, i))
            type = SqlType::fromSqliteDeclaration(QString::fromUtf8(declared));
        const bool stored = type && holdsStoredValues(i);
        if (!type && i < statement.hints.size())
            type = statement.hints[i];
        // A client gets a variant's base value as text (see valueAt).
        const bool variant = type && type->isVariant();
        m_variant.append(variant);
        if (variant)
            type = SqlType{BaseType::NVarChar, 4000, 0, 0};
        if (!type || ((!stored || variant) && mayOutgrow(*type))) {
            measured.append(i);
            typeUnknown.append(!type);
        }
        column.type = type.value_or(SqlType{BaseType::Int, 0, 0, 0});
        m_columns.append(column);
    }
    if (!measured.isEmpty())
        measureValues(measured, typeUnknown);
}

// A stored column's values were checked against its type when they were
// written; a computed column's were not.
bool ResultCursor::holdsStoredValues(int column) const {
    const char* table = sqlite3_column_table_name(m_query.handle(), column);
    const char* name = sqlite3_column_origin_name(m_query.handle(), column);
    if (!table || !name)
        return false;
    const QVariant computed =
        sqliteScalar(m_context.db(),
                     QStringLiteral("select c.is_computed from qx_columns c join qx_objects o "
                                    "on o.object_id = c.object_id "
                                    "where o.sqlite_name = ? and c.name = ?"),
                     {QString::fromUtf8(table), QString::fromUtf8(name)});
    return !computed.toBool(); // the catalogue's own tables hold what they declare
}

// The client needs every column's type before the first row, so the columns
// whose values decide it are read through first: measured, not kept, then
// the query starts again from the top. (A value that fails stops the
// measuring; the second reading fails there too, after the rows before it.)
void ResultCursor::measureValues(const QList<int>& columns, const QList<bool>& typeUnknown) {
    QList<ValueMeasure> measures(columns.size());
    while (m_query.step() == SQLITE_ROW)
        for (int k = 0; k < columns.size(); ++k)
            measures[k].see(valueAt(columns[k]));
    sqlite3_reset(m_query.handle());
    for (int k = 0; k < columns.size(); ++k) {
        SqlType& type = m_columns[columns[k]].type;
        if (typeUnknown[k])
            type = measures[k].type;
        widenToFit(type, measures[k].longest);
    }
}

bool ResultCursor::step() {
    const int rc = m_query.step();
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        throw sqliteErrorFrom(m_query.error());
    return false;
}

bool ResultCursor::next(QVariantList& row) {
    if (m_started && m_onRow) {
        const EngineContext::ActiveSession active(m_context, m_session);
        m_onRow = false; // a failing step leaves no row behind
        m_onRow = step();
    }
    m_started = true;
    if (!m_onRow)
        return false;
    const int count = int(m_columns.size());
    row.resize(count);
    for (int i = 0; i < count; ++i)
        row[i] = valueAt(i);
    return true;
}

QVariant ResultCursor::valueAt(int column) const {
    QVariant value = m_query.value(column);
    if (!m_variant[column])
        return value;
    if (const auto variant = decodeVariant(value))
        return variantText(*variant);
    return value.isNull() ? value : QVariant(value.toString());
}

} // namespace quarvex::standin
