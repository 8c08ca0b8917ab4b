#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <sqlite3.h>

namespace quarvex::standin {

// One prepared statement, finalized on destruction.
class SqliteStatement {
public:
    SqliteStatement(sqlite3* db, const QString& sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    bool ok() const { return m_statement != nullptr; }
    QString error() const { return m_error; }
    sqlite3_stmt* handle() const { return m_statement; }

    void bind(int position, const QVariant& value);
    // SQLITE_ROW, SQLITE_DONE or an error code (then error() tells).
    int step();
    QVariant value(int column) const;

private:
    sqlite3* m_db;
    sqlite3_stmt* m_statement = nullptr;
    QString m_error;
};

// Runs statements that return nothing; returns the error text or empty.
QString sqliteExec(sqlite3* db, const QString& sql, const QVariantList& arguments = {});
// The first column of the first row, or an invalid QVariant.
QVariant sqliteScalar(sqlite3* db, const QString& sql, const QVariantList& arguments = {});
// SQLite's own quoting of a name.
QString quoteName(const QString& name);
QString quoteString(const QString& text);
// A value as SQLite reads it back from SQL text: null, a number, a string or
// a blob literal.
QString sqliteLiteral(const QVariant& value);

} // namespace quarvex::standin
