#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <sql.h>
#include <sqlext.h>

namespace quarvex::test {

// Raw unixODBC calls over FreeTDS's driver, as a client of the stand-in:
// text fetched as wide characters in pieces, binaries as bytes, exact
// numbers as text. Enough to check the wire without the program's own layer.
class OdbcProbe {
public:
    ~OdbcProbe();
    // DSN-less connection; on failure error() tells, with the driver's prefixes.
    bool connect(const QString& server, int port, const QString& database, const QString& user,
                 const QString& password);
    QString dbmsVersion() const;
    // Runs one batch and returns the rows of its first result set; strings
    // for text and exact numbers, QByteArray for binaries, null QVariant for NULL.
    bool query(const QString& sql, QList<QVariantList>* rows = nullptr,
               QStringList* columnNames = nullptr);
    QString error() const { return m_error; }

private:
    QString diagnostics(SQLSMALLINT type, SQLHANDLE handle) const;

    SQLHENV m_env = SQL_NULL_HENV;
    SQLHDBC m_dbc = SQL_NULL_HDBC;
    bool m_connected = false;
    QString m_error;
};

} // namespace quarvex::test
