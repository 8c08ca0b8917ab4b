#pragma once

#include <QByteArray>
#include <QString>

struct sqlite3;

namespace quarvex::standin {

class Catalogue;
class ForeignKeys;
struct Session;

struct EngineOptions {
    QString database = QStringLiteral("Northwind");
    QString version = QStringLiteral("9.00.1399");
    QString serverName = QStringLiteral("QUARVEX-STANDIN");

    int majorVersion() const;
    bool knowsCreateOrAlter() const; // from 13.0.4001, SQL Server 2016 SP1
    QString versionText() const;     // @@VERSION
};

// What the parts the engine runs (its SQL functions, a query's cursor) read
// of it while a statement runs: the database, its catalogue and options, and
// the session whose statement it is. They hold this rather than the engine,
// which drives them.
class EngineContext {
public:
    virtual ~EngineContext() = default;

    virtual sqlite3* db() const = 0;
    virtual Catalogue& catalogue() = 0;
    virtual const ForeignKeys& foreignKeys() const = 0;
    virtual const EngineOptions& options() const = 0;
    virtual QByteArray nextRowVersion() = 0;

    Session* currentSession() const { return m_current; }

    // While one lives, the SQL functions see this session as the current one.
    class ActiveSession {
    public:
        ActiveSession(EngineContext& context, Session& session)
            : m_context(context)
            , m_previous(context.m_current) {
            context.m_current = &session;
        }
        ~ActiveSession() { m_context.m_current = m_previous; }
        ActiveSession(const ActiveSession&) = delete;
        ActiveSession& operator=(const ActiveSession&) = delete;

    private:
        EngineContext& m_context;
        Session* m_previous;
    };

private:
    Session* m_current = nullptr;
};

} // namespace quarvex::standin
