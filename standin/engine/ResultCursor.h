#pragma once

#include "standin/engine/EngineContext.h"
#include "standin/engine/Outcome.h"
#include "standin/engine/Session.h"
#include "standin/sql/Statement.h"
#include "standin/store/Sqlite.h"

namespace quarvex::standin {

// The rows of one query, read from SQLite only as they are asked for, so
// that a result of any size holds one row at a time, as a real server
// streams what it reads.
class ResultCursor {
public:
    // Prepares the query, settles the column types and reads the first row.
    // Throws SqlError when the query fails before that row; the client then
    // gets the error alone, as for a statement that does not compile. A
    // cursor that only describes (SET FMTONLY ON) has its columns, no rows.
    ResultCursor(EngineContext& context, Session& session, const Statement& statement,
                 bool describeOnly);
    ResultCursor(const ResultCursor&) = delete;
    ResultCursor& operator=(const ResultCursor&) = delete;

    const QList<ResultColumn>& columns() const { return m_columns; }
    // Whether a column holds sql_variant values, which columns() gives as
    // the text a client receives.
    bool isVariant(int column) const { return m_variant.value(column); }
    // The next row, or false after the last. Throws SqlError when SQLite
    // fails halfway; the rows before were real and stay sent.
    bool next(QVariantList& row);

private:
    void settleColumns(const Statement& statement);
    bool holdsStoredValues(int column) const;
    void measureValues(const QList<int>& columns, const QList<bool>& typeUnknown);
    bool step();
    QVariant valueAt(int column) const;

    EngineContext& m_context;
    Session& m_session;
    SqliteStatement m_query;
    QList<ResultColumn> m_columns;
    QList<bool> m_variant;  // a sql_variant column, sent as its values' text
    bool m_onRow = false;   // the statement stands on a row not yet handed out
    bool m_started = false; // the first row (read in the constructor) was handed out
};

} // namespace quarvex::standin
