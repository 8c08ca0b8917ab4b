#include "db/OdbcConnection.h"

#include "base/ProcedureError.h"
#include "base/Secrets.h"
#include "db/EncryptionFailure.h"
#include "db/FreeTdsConfig.h"
#include "db/InstanceLookup.h"
#include "db/OdbcConnectionString.h"
#include "db/OdbcStatement.h"
#include "db/PreloginProbe.h"
#include "db/internal/ConnectionInterrupter.h"
#include "db/internal/OdbcDiagnostics.h"
#include "model/Cancellation.h"

#include <QStringList>

namespace quarvex {

namespace {

const SQLWCHAR* wide(const QString& text) {
    return reinterpret_cast<const SQLWCHAR*>(text.utf16());
}

// The library of a driver entry, from its attributes ("key=value", each
// ended by a NUL): the 64-bit one where the entry names one, as the driver
// manager loads it.
QString driverLibrary(const SQLWCHAR* attributes, qsizetype length) {
    QString library;
    QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(attributes), length);
    text.truncate(text.indexOf(QStringView(u"\0\0", 2)));
    for (const QString& pair : text.split(QChar(u'\0'))) {
        const QString key = pair.section(u'=', 0, 0).trimmed();
        if (key.compare(QLatin1String("Driver64"), Qt::CaseInsensitive) == 0)
            return pair.section(u'=', 1).trimmed();
        if (key.compare(QLatin1String("Driver"), Qt::CaseInsensitive) == 0)
            library = pair.section(u'=', 1).trimmed();
    }
    return library;
}

QList<InstalledDriver> installedDrivers(SQLHANDLE environment) {
    QList<InstalledDriver> drivers;
    SQLWCHAR name[256];
    SQLWCHAR attributes[4096];
    SQLSMALLINT nameLength = 0;
    SQLSMALLINT attributesLength = 0;
    for (SQLUSMALLINT direction = SQL_FETCH_FIRST;; direction = SQL_FETCH_NEXT) {
        // Zeroed, so that the pairs end at the first empty one whatever
        // unit the driver manager counts the length in.
        std::fill(std::begin(attributes), std::end(attributes), SQLWCHAR(0));
        if (!SQL_SUCCEEDED(SQLDriversW(environment, direction, name, SQLSMALLINT(std::size(name)),
                                       &nameLength, attributes,
                                       SQLSMALLINT(std::size(attributes) - 1), &attributesLength)))
            break;
        drivers.append({QString::fromUtf16(reinterpret_cast<const char16_t*>(name), nameLength),
                        driverLibrary(attributes, qsizetype(std::size(attributes)))});
    }
    return drivers;
}

OdbcHandle newEnvironment() {
    SQLHANDLE handle = SQL_NULL_HANDLE;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &handle)))
        raise(QStringLiteral("Cannot allocate an ODBC environment"));
    OdbcHandle environment(OdbcHandle::Type::Environment, handle);
    checkOdbc(
        SQLSetEnvAttr(handle, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
        SQL_HANDLE_ENV, handle);
    return environment;
}

// FreeTDS names no cause when TLS fails; a PRELOGIN of our own, which
// carries no login, tells a server without TLS from a refused certificate.
[[noreturn]] void raiseExplained(Failure failure, const SqlServerDriver& driver,
                                 const ConnectionSettings& settings, int timeoutSeconds) {
    const bool freeTds = driver.family == DriverFamily::FreeTds;
    if (freeTds && settings.encryption != Encryption::Optional) {
        const QString text = encryptionFailureText(
            freeTds, settings, serverOffersTls(settings.server, timeoutSeconds));
        if (!text.isEmpty())
            failure.description = text;
    }
    raise(failure);
}

} // namespace

OdbcConnection::OdbcConnection()
    : m_environment(newEnvironment())
    , m_interrupter(std::make_shared<ConnectionInterrupter>()) {
    SQLHANDLE handle = SQL_NULL_HANDLE;
    checkOdbc(SQLAllocHandle(SQL_HANDLE_DBC, m_environment.get(), &handle), SQL_HANDLE_ENV,
              m_environment.get());
    m_connection = OdbcHandle(OdbcHandle::Type::Connection, handle);
}

OdbcConnection::~OdbcConnection() {
    if (m_cancellation)
        m_cancellation->removeWaiter(m_waiter);
    releaseStatements();
    m_interrupter->forgetSockets();
    if (m_open)
        SQLDisconnect(m_connection.get());
}

void OdbcConnection::stopWith(Cancellation& cancellation) {
    m_cancellation = &cancellation;
    const std::shared_ptr<ConnectionInterrupter> interrupter = m_interrupter;
    m_waiter = cancellation.addWaiter([interrupter] { interrupter->cancelStatements(); },
                                      [interrupter] { interrupter->breakOff(); });
}

bool OdbcConnection::cancelled() const {
    return m_cancellation && m_cancellation->isCancelled();
}

void OdbcConnection::releaseStatements() {
    for (OdbcStatement* statement : std::as_const(m_statements))
        statement->release();
    m_statements.clear();
}

void OdbcConnection::open(const ConnectionSettings& settings, int loginTimeoutSeconds) {
    const auto chosen = chooseSqlServerDriver(installedDrivers(m_environment.get()));
    if (!chosen)
        raise(QStringLiteral("No ODBC driver for SQL Server is installed (looked for: ") +
              preferredSqlServerDrivers().join(QLatin1String(", ")) + QLatin1Char(')'));

    const SQLHANDLE dbc = m_connection.get();
    const auto seconds = [](int count) {
        return reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(qMax(count, 0)));
    };
    checkOdbc(SQLSetConnectAttrW(dbc, SQL_ATTR_LOGIN_TIMEOUT, seconds(loginTimeoutSeconds), 0),
              SQL_HANDLE_DBC, dbc);
    checkOdbc(SQLSetConnectAttrW(dbc, SQL_ATTR_CONNECTION_TIMEOUT, seconds(loginTimeoutSeconds), 0),
              SQL_HANDLE_DBC, dbc);

    // FreeTDS asks the SQL Server Browser for a named instance's port
    // itself, but for 16 seconds whatever the login time-out: asked here
    // within the time-out, the port is handed over instead.
    ConnectionSettings reached = settings;
    const SqlServerDriver& driver = *chosen;
    if (driver.family == DriverFamily::FreeTds)
        if (const auto named = namedInstance(settings.server))
            reached.server = named->host + QLatin1Char(',') +
                             QString::number(lookUpInstancePort(*named, loginTimeoutSeconds));
    QString text = odbcConnectionString(driver, reached);
    std::optional<PrivateFreeTdsScope> freeTdsConfig;
    if (freeTdsSectionNeeded(driver, reached))
        freeTdsConfig.emplace(privateFreeTdsConfigFor(reached));
    SQLSMALLINT outLength = 0;
    if (cancelled())
        raiseCancelled();
    m_interrupter->beginConnect();
    const SQLRETURN rc = SQLDriverConnectW(dbc, nullptr, const_cast<SQLWCHAR*>(wide(text)), SQL_NTS,
                                           nullptr, 0, &outLength, SQL_DRIVER_NOPROMPT);
    // The string holds the password; the settings keep their own copy.
    wipe(text);
    m_interrupter->endConnect();
    freeTdsConfig.reset();
    if (!SQL_SUCCEEDED(rc) && cancelled())
        raiseCancelled();
    try {
        checkOdbc(rc, SQL_HANDLE_DBC, dbc);
    } catch (const ProcedureError& error) {
        raiseExplained(error.failure(), driver, reached, loginTimeoutSeconds);
    }
    m_open = true;

    // After the login a silent server is waited for as long as the query
    // time-out says: every statement sets it for itself, and the connection
    // time-out, which Microsoft's drivers apply to requests other than
    // statements, follows it.
    m_queryTimeoutSeconds = qMax(settings.queryTimeoutSeconds, 0);
    SQLSetConnectAttrW(dbc, SQL_ATTR_CONNECTION_TIMEOUT, seconds(m_queryTimeoutSeconds), 0);

    // FreeTDS, unlike Microsoft's drivers, leaves the server's TEXTSIZE limit
    // (4096 bytes by default) in force, which would cut text, ntext and image
    // values short.
    execute(QStringLiteral("set textsize 2147483647"));
}

void OdbcConnection::close() {
    if (!m_open)
        return;
    m_open = false;
    releaseStatements();
    m_interrupter->forgetSockets();
    checkOdbc(SQLDisconnect(m_connection.get()), SQL_HANDLE_DBC, m_connection.get());
}

QString OdbcConnection::dbmsVersion() const {
    if (!m_open)
        raise(QStringLiteral("The connection is not open"));
    SQLWCHAR buffer[128] = {};
    SQLSMALLINT length = 0;
    checkOdbc(SQLGetInfoW(m_connection.get(), SQL_DBMS_VER, buffer, sizeof buffer, &length),
              SQL_HANDLE_DBC, m_connection.get());
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(buffer),
                              length / qsizetype(sizeof(SQLWCHAR)));
}

void OdbcConnection::execute(const QString& batch) {
    OdbcStatement statement(*this);
    statement.execute(batch);
    statement.drainResults();
}

} // namespace quarvex
