// The date, time and CLR types of SQL Server 2008 through FreeTDS's ODBC
// driver with a TDS version of our own choosing (7.2: text, 7.4: the typed
// wire forms).

#include "base/ProcedureError.h"
#include "db/OdbcHandle.h"
#include "support/StandIn.h"
#include "support/TempFolder.h"

#include <QRegularExpression>
#include <QTest>
#include <sql.h>
#include <sqlext.h>

using namespace quarvex;
using namespace quarvex::test;

namespace {

// Raises the handle's first diagnostic record when rc failed.
void checkOdbc(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle) {
    if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA)
        return;
    SQLCHAR state[6] = {};
    SQLCHAR text[1024] = {};
    SQLINTEGER nativeError = 0;
    SQLSMALLINT length = 0;
    SQLGetDiagRec(handleType, handle, 1, state, &nativeError, text, SQLSMALLINT(sizeof text),
                  &length);
    raise(QString::fromLatin1(reinterpret_cast<const char*>(state)) + QLatin1Char(' ') +
          QString::fromLocal8Bit(reinterpret_cast<const char*>(text)));
}

const char* const columnTypes[] = {
    "date",         "time(0)",      "time(3)",           "time(7)",     "datetime2(0)",
    "datetime2(3)", "datetime2(7)", "datetimeoffset(7)", "hierarchyid", "geography"};
constexpr int columnCount = int(std::size(columnTypes));

// Each row's values, in the server's text for a date or time and in hex for bytes.
const QStringList rows[] = {
    {"0001-01-01", "00:00:00", "00:00:00.000", "00:00:00.0000000", "0001-01-01 00:00:00",
     "0001-01-01 00:00:00.000", "0001-01-01 00:00:00.0000000", "2024-01-02 03:04:05.1234567 +14:00",
     "58", "E6100000010CD734EF3845DF4A400C93A9825149D5BF"},
    {"9999-12-31", "23:59:59", "23:59:59.999", "23:59:59.9999999", "9999-12-31 23:59:59",
     "9999-12-31 23:59:59.999", "9999-12-31 23:59:59.9999999", "2024-01-02 03:04:05.1234567 -14:00",
     "5AC0", ""},
    {"", "", "", "08:15:00.0000001", "", "2009-03-05 08:15:00.050", "",
     "2009-03-05 08:15:00.5000000 +05:45", "", ""},
};

bool isBytes(int column) {
    return column >= 8;
}

QString literal(int column, const QString& value) {
    if (value.isEmpty())
        return QStringLiteral("null");
    if (isBytes(column))
        return QStringLiteral("convert(%1, 0x%2)").arg(QLatin1String(columnTypes[column]), value);
    return u'\'' + value + u'\'';
}

// The rows inserted under british, whose day-first DATEFORMAT these literals ignore.
QByteArray databaseScript() {
    QStringList definitions;
    for (int c = 0; c < columnCount; ++c)
        definitions << QStringLiteral("C%1 %2 null").arg(c).arg(QLatin1String(columnTypes[c]));
    QString script = QStringLiteral("set language british\ncreate table dbo.Ends (Id int, %1)\n")
                         .arg(definitions.join(u','));
    for (int r = 0; r < int(std::size(rows)); ++r) {
        QStringList values{QString::number(r)};
        for (int c = 0; c < columnCount; ++c)
            values << literal(c, rows[r][c]);
        script += QStringLiteral("insert into dbo.Ends values (%1)\n").arg(values.join(u','));
    }
    return script.toUtf8();
}

// One value as the driver writes it: a date or time as text, bytes in hex.
QString valueOf(SQLHSTMT statement, int column) {
    QByteArray buffer(8000, '\0');
    SQLLEN indicator = 0;
    checkOdbc(SQLGetData(statement, SQLUSMALLINT(column + 2),
                         isBytes(column) ? SQL_C_BINARY : SQL_C_CHAR, buffer.data(), buffer.size(),
                         &indicator),
              SQL_HANDLE_STMT, statement);
    if (indicator == SQL_NULL_DATA)
        return {};
    const QByteArray value = buffer.left(indicator);
    if (isBytes(column))
        return QString::fromLatin1(value.toHex().toUpper());
    // FreeTDS writes the year of a typed value without leading zeros.
    static const QRegularExpression yearOne(QStringLiteral("^1-"));
    return QString::fromUtf8(value).replace(yearOne, QStringLiteral("0001-"));
}

// Every row of dbo.Ends, the CLR values read back through varbinary as the
// program will read them.
QList<QStringList> readEnds(SQLHANDLE connection) {
    SQLHANDLE handle = nullptr;
    SQLAllocHandle(SQL_HANDLE_STMT, connection, &handle);
    const OdbcHandle statement(OdbcHandle::Type::Statement, handle);
    QByteArray query = "select Id, C0, C1, C2, C3, C4, C5, C6, C7, convert(varbinary(max), C8), "
                       "convert(varbinary(max), C9) from dbo.Ends order by Id";
    checkOdbc(SQLExecDirect(handle, reinterpret_cast<SQLCHAR*>(query.data()), SQL_NTS),
              SQL_HANDLE_STMT, handle);
    QList<QStringList> read;
    while (SQL_SUCCEEDED(SQLFetch(handle))) {
        QStringList row;
        for (int c = 0; c < columnCount; ++c)
            row << valueOf(handle, c);
        read << row;
    }
    return read;
}

QList<QStringList> readThroughOdbc(const StandIn& server, const QString& tdsVersion) {
    SQLHANDLE handle = nullptr;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &handle);
    const OdbcHandle environment(OdbcHandle::Type::Environment, handle);
    SQLSetEnvAttr(handle, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, environment.get(), &handle);
    const OdbcHandle connection(OdbcHandle::Type::Connection, handle);
    QByteArray text = QStringLiteral("Driver=FreeTDS;Server=127.0.0.1;Port=%1;Database=Northwind;"
                                     "UID=sa;PWD=pw;ClientCharset=UTF-8;TDS_Version=%2;")
                          .arg(server.port())
                          .arg(tdsVersion)
                          .toUtf8();
    checkOdbc(SQLDriverConnect(handle, nullptr, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS,
                               nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT),
              SQL_HANDLE_DBC, handle);
    const QList<QStringList> read = readEnds(handle);
    SQLDisconnect(handle);
    return read;
}

} // namespace

class DateTypesClientsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { m_data.write("ends.sql", databaseScript()); }

    // The client asks for the version; the server answers with its own.
    void rangeEndsThroughOdbc_data() {
        QTest::addColumn<QString>("serverVersion");
        QTest::addColumn<QString>("tdsVersion");
        QTest::newRow("TDS 7.2: nvarchar text") << "16.00.1000"
                                                << "7.2";
        QTest::newRow("2008 answers 7.3: date and time wire types") << "10.00.1600"
                                                                    << "7.4";
        QTest::newRow("TDS 7.4: the same wire types") << "16.00.1000"
                                                      << "7.4";
    }

    void rangeEndsThroughOdbc() {
        QFETCH(QString, serverVersion);
        QFETCH(QString, tdsVersion);
        StandIn server(
            {.sample = false, .version = serverVersion, .loadFiles = {m_data.path("ends.sql")}});
        QList<QStringList> read;
        const auto failure = failureOf([&] { read = readThroughOdbc(server, tdsVersion); });
        QVERIFY2(!failure, qPrintable(failure ? failure->description : QString()));
        QCOMPARE(read, QList<QStringList>(std::begin(rows), std::end(rows)));
    }

private:
    TempFolder m_data;
};

QTEST_GUILESS_MAIN(DateTypesClientsTest)
#include "DateTypesClientsTest.moc"
