#include "standin/engine/Engine.h"

#include "standin/engine/ResultCursor.h"
#include "standin/engine/SqlFunctions.h"
#include "standin/engine/SqliteError.h"
#include "standin/store/Sqlite.h"

#include <QRegularExpression>
#include <algorithm>
#include <sqlite3.h>

namespace quarvex::standin {

namespace {

void setDateFormat(Session& session, const Statement& statement) {
    static const QStringList formats{"mdy", "dmy", "ymd", "ydm", "myd", "dym"};
    const QString format = statement.value.toLower();
    if (!formats.contains(format))
        throw SqlError{
            2741, QStringLiteral("SET DATEFORMAT date order '%1' is invalid.").arg(statement.value),
            16, 1, false};
    session.dateFormat = format;
}

// SET LANGUAGE: its date format with it, and a message that tells the client.
Outcome setLanguage(Session& session, const Statement& statement) {
    const QString language = statement.value.toLower();
    if (language == QLatin1String("us_english") || language == QLatin1String("english")) {
        session.language = QStringLiteral("us_english");
        session.dateFormat = QStringLiteral("mdy");
    } else if (language == QLatin1String("british")) {
        session.language = QStringLiteral("British");
        session.dateFormat = QStringLiteral("dmy");
    } else {
        throw SqlError{2741,
                       QStringLiteral("SET LANGUAGE failed because '%1' is not an official "
                                      "language name or a language alias on this SQL "
                                      "Server.")
                           .arg(statement.value),
                       16, 1, false};
    }
    Outcome o;
    o.kind = Outcome::Kind::Message;
    o.message = SqlError{
        5703, QStringLiteral("Changed language setting to %1.").arg(session.language), 0, 1, false};
    o.newLanguage = session.language;
    return o;
}

// The options accepted without effect (or with one flag of their own); a
// list of them may share one SET.
void setListedOptions(Session& session, const Statement& statement) {
    const QString& option = statement.option;
    static const QStringList known{"ansi_nulls",
                                   "ansi_padding",
                                   "ansi_warnings",
                                   "ansi_null_dflt_on",
                                   "ansi_null_dflt_off",
                                   "ansi_defaults",
                                   "arithabort",
                                   "arithignore",
                                   "concat_null_yields_null",
                                   "quoted_identifier",
                                   "numeric_roundabort",
                                   "xact_abort",
                                   "implicit_transactions",
                                   "cursor_close_on_commit",
                                   "lock_timeout",
                                   "datefirst",
                                   "rowcount",
                                   "transaction",
                                   "deadlock_priority",
                                   "query_governor_cost_limit",
                                   "fmtonly",
                                   "noexec",
                                   "parseonly",
                                   "showplan_text",
                                   "statistics",
                                   "forceplan",
                                   "nocount",
                                   "context_info",
                                   "fips_flagger",
                                   "remote_proc_transactions"};
    const QStringList names =
        statement.names.isEmpty() ? QStringList{option} : statement.names.first();
    for (const QString& name : names) {
        if (!known.contains(name))
            throw SqlError{195, QStringLiteral("'%1' is not a recognized SET option.").arg(name),
                           15, 1, true};
        if ((name == QLatin1String("rowcount") && statement.value != QLatin1String("0")) ||
            ((name == QLatin1String("noexec") || name == QLatin1String("parseonly")) &&
             statement.value == QLatin1String("on")))
            throw unsupported(QStringLiteral("SET %1 %2").arg(name.toUpper(), statement.value));
        if (name == QLatin1String("fmtonly"))
            session.formatOnly = statement.value == QLatin1String("on");
        if (name == QLatin1String("xact_abort"))
            session.xactAbort = statement.value == QLatin1String("on");
        if (name == QLatin1String("lock_timeout"))
            session.lockTimeoutMs = statement.value.toInt();
        if (name == QLatin1String("transaction"))
            session.snapshotIsolation = statement.value.trimmed() == QLatin1String("snapshot");
        session.options.insert(name, statement.value);
    }
}

// The history table a system-versioned table makes when it names none that
// exists: its columns, without identity, defaults, keys or generation.
Statement historyTableStatement(const Statement& statement, const QStringList& name) {
    Statement history;
    history.kind = Statement::Kind::CreateTable;
    history.name = name;
    for (ColumnDefinition d : statement.columns) {
        if (!d.computedSql.isEmpty())
            continue;
        d.identity = false;
        d.generatedAlways = 0;
        d.hidden = false;
        d.defaultSql.clear();
        d.primaryKey = false;
        d.unique = false;
        history.columns.append(d);
    }
    return history;
}

// From 2005 on a primary key over a computed column needs the column
// persisted; 2000 has no PERSISTED.
void refuseUnpersistedKey(const Statement& statement, int majorVersion) {
    if (majorVersion < 9)
        return;
    for (const ColumnDefinition& d : statement.columns)
        if (!d.computedSql.isEmpty() && !d.persisted &&
            statement.primaryKey.contains(d.name, Qt::CaseInsensitive))
            throw SqlError{1711,
                           QStringLiteral("Cannot define PRIMARY KEY constraint on column '%1' in "
                                          "table '%2'. The computed column has to be persisted "
                                          "and not nullable.")
                               .arg(d.name, statement.name.last()),
                           16, 1, false};
}

// Statements that change what the database holds.
bool writes(Statement::Kind kind) {
    switch (kind) {
    case Statement::Kind::Modify:
    case Statement::Kind::CreateTable:
    case Statement::Kind::CreateType:
    case Statement::Kind::CreateSchema:
    case Statement::Kind::CreateModule:
    case Statement::Kind::Drop:
    case Statement::Kind::Rename:
    case Statement::Kind::AddForeignKeys:
    case Statement::Kind::DropConstraints:
    case Statement::Kind::CheckConstraints:
    case Statement::Kind::Truncate:
    case Statement::Kind::CheckIdent:
    case Statement::Kind::SelectInto:
        return true;
    default:
        return false;
    }
}

} // namespace

Engine::Engine(const EngineOptions& options)
    : m_options(options) {
    if (sqlite3_open(":memory:", &m_db) != SQLITE_OK) {
        m_startError = QStringLiteral("cannot open SQLite");
        return;
    }
    // A double-quoted name that matches no column must stay an error, not
    // turn into a string as SQLite would otherwise allow.
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    registerSqlFunctions(m_db, this);
    m_catalogue = std::make_unique<Catalogue>(m_db, majorVersion());
    m_foreignKeys = std::make_unique<ForeignKeys>(m_db, *m_catalogue, m_options.database);
    m_startError = m_catalogue->create();
    if (m_startError.isEmpty())
        m_startError = m_foreignKeys->create();
    const QString databases[] = {"master", "tempdb", "model", "msdb", m_options.database};
    for (int i = 0; i < 5 && m_startError.isEmpty(); ++i)
        m_startError = sqliteExec(m_db, QStringLiteral("insert into qx_databases values (?, ?, 0)"),
                                  {i + 1, databases[i]});
}

Engine::~Engine() {
    m_foreignKeys.reset();
    m_catalogue.reset();
    sqlite3_close(m_db);
}

QByteArray Engine::nextRowVersion() {
    ++m_rowVersion;
    QByteArray bytes(8, '\0');
    for (int i = 0; i < 8; ++i)
        bytes[7 - i] = char((m_rowVersion >> (8 * i)) & 0xFF);
    return bytes;
}

// 2627, naming the primary key or the unique constraint over the columns
// SQLite names ("t5.Code, t5.Site").
SqlError Engine::duplicateKeyError(const QString& failedColumns, const Statement& statement) const {
    const auto object = m_catalogue->find(statement.name);
    const QString table = object ? object->schema + u'.' + object->name : statement.name.join(u'.');
    QStringList failed;
    for (const QString& column : failedColumns.split(QLatin1String(", ")))
        failed.append(column.section(u'.', -1));
    const QStringList primaryKey =
        object ? m_foreignKeys->primaryKeyColumns(*object) : QStringList();
    if (object && failed.join(u',').compare(primaryKey.join(u','), Qt::CaseInsensitive) != 0)
        return SqlError{2627,
                        QStringLiteral("Violation of UNIQUE KEY constraint 'UQ__%1__%2'. Cannot "
                                       "insert duplicate key in object '%3'.")
                            .arg(object->name.left(16), failed.join(u'_'), table),
                        14, 1, false};
    const QVariant key = object
                             ? sqliteScalar(m_db,
                                            QStringLiteral("select name from qx_objects where "
                                                           "parent_object_id = ? and type = 'PK'"),
                                            {object->objectId})
                             : QVariant();
    return SqlError{2627,
                    QStringLiteral("Violation of PRIMARY KEY constraint '%1'. Cannot insert "
                                   "duplicate key in object '%2'.")
                        .arg(key.toString(), table),
                    14, 1, false};
}

void Engine::throwSqliteError(const QString& message, const Statement& statement) const {
    SqlError error = sqliteErrorFrom(message);
    if (message.startsWith(QLatin1String("NOT NULL constraint failed: "))) {
        const QString column = message.section(u'.', -1);
        const auto object = m_catalogue->find(statement.name);
        error = SqlError{
            515,
            QStringLiteral("Cannot insert the value NULL into column '%1', table "
                           "'%2.%3.%4'; column does not allow nulls. %5 fails.")
                .arg(column, m_options.database, object ? object->schema : QStringLiteral("dbo"),
                     object ? object->name : statement.name.last(), statement.verb.toUpper()),
            16, 2, false};
    } else if (message.startsWith(QLatin1String("UNIQUE constraint failed: "))) {
        error = duplicateKeyError(message.mid(26), statement);
    }
    throw error;
}

void Engine::execute(Session& session, const Statement& statement, QList<Outcome>& out) {
    // Under SET FMTONLY ON a query only describes its result, and nothing
    // but SET runs.
    if (session.formatOnly && statement.kind != Statement::Kind::Query &&
        statement.kind != Statement::Kind::SetOption)
        return;
    if (statement.kind == Statement::Kind::Query)
        beginRead(session, statement);
    else if (writes(statement.kind))
        beginWrite(session, statement);
    noteAltered(statement);
    switch (statement.kind) {
    case Statement::Kind::Query:
        return runQuery(session, statement, out);
    case Statement::Kind::Modify:
        return runModify(session, statement, out);
    case Statement::Kind::Print:
        return print(statement, out);
    case Statement::Kind::SetOption:
        return setOption(session, statement, out);
    case Statement::Kind::CreateTable:
        return createTable(statement);
    case Statement::Kind::CreateType:
        return createType(statement);
    case Statement::Kind::CreateSchema:
        return createSchema(statement);
    case Statement::Kind::CreateModule:
        return createModule(statement);
    case Statement::Kind::Drop:
        return drop(statement);
    case Statement::Kind::Rename:
        return rename(statement);
    case Statement::Kind::AddForeignKeys:
    case Statement::Kind::DropConstraints:
    case Statement::Kind::CheckConstraints:
        return alterTable(statement);
    case Statement::Kind::Truncate:
        return truncate(session, statement);
    case Statement::Kind::CheckIdent:
        return checkIdent(session, statement, out);
    case Statement::Kind::Use:
        return use(statement);
    case Statement::Kind::AlterDatabase:
        return alterDatabase(statement);
    case Statement::Kind::SelectInto:
        return selectInto(session, statement, out);
    case Statement::Kind::BeginTransaction:
    case Statement::Kind::CommitTransaction:
    case Statement::Kind::RollbackTransaction:
        return transaction(session, statement);
    case Statement::Kind::If:
    case Statement::Kind::BlockBegin:
    case Statement::Kind::BlockEnd:
    case Statement::Kind::Return:
    case Statement::Kind::Raiserror:
    case Statement::Kind::Declare:
    case Statement::Kind::Assign:
        return; // the batch runner's own
    case Statement::Kind::Unsupported:
        throw unsupported(statement.what);
    }
}

// PRINT: its text as a message.
void Engine::print(const Statement& statement, QList<Outcome>& out) {
    SqliteStatement query(m_db, statement.sql);
    if (!query.ok())
        throwSqliteError(query.error(), statement);
    const int rc = query.step();
    if (rc != SQLITE_ROW)
        throwSqliteError(query.error(), statement);
    Outcome o;
    o.kind = Outcome::Kind::Message;
    o.message = SqlError{0, query.value(0).toString(), 0, 1, false};
    o.line = statement.line;
    out.append(o);
}

// CREATE TYPE name FROM base type: an alias of a system type.
void Engine::createType(const Statement& statement) {
    const ColumnDefinition& base = statement.columns.first();
    const auto type = m_catalogue->resolveType(base.typeName, base.arg1, base.arg2);
    if (!type || type->userTypeId > 256)
        throw SqlError{243,
                       QStringLiteral("Type %1 is not a defined system type.").arg(base.typeName),
                       16, 2, true};
    if (m_catalogue->resolveType(statement.name.last(), -2, -2))
        throw SqlError{219,
                       QStringLiteral("The type '%1' already exists, or you do not have "
                                      "permission to create it.")
                           .arg(statement.name.last()),
                       16, 1, false};
    m_catalogue->createAliasType(statement.name.last(), schemaFor(statement.name), type->type,
                                 base.nullable);
}

void Engine::createSchema(const Statement& statement) {
    if (m_catalogue->schemaId(statement.name.first()))
        throw SqlError{2714,
                       QStringLiteral("There is already an object named '%1' in the database.")
                           .arg(statement.name.first()),
                       16, 6, false};
    m_catalogue->createSchema(statement.name.first());
}

// USE: only the one database there is.
void Engine::use(const Statement& statement) const {
    if (statement.name.first().compare(m_options.database, Qt::CaseInsensitive) != 0)
        throw SqlError{911,
                       QStringLiteral("Database '%1' does not exist. Make sure that the name "
                                      "is entered correctly.")
                           .arg(statement.name.first()),
                       16, 1, true};
}

void Engine::compile(const Statement& statement) const {
    static const QList<Statement::Kind> prepared{
        Statement::Kind::Query,     Statement::Kind::Modify, Statement::Kind::Print,
        Statement::Kind::If,        Statement::Kind::Assign, Statement::Kind::Declare,
        Statement::Kind::SelectInto};
    if (statement.sql.isEmpty() || !prepared.contains(statement.kind))
        return;
    const SqliteStatement query(m_db, statement.sql);
    if (!query.ok())
        throwSqliteError(query.error(), statement);
}

bool Engine::condition(const Statement& statement) {
    SqliteStatement query(m_db, statement.sql);
    if (!query.ok())
        throwSqliteError(query.error(), statement);
    if (query.step() != SQLITE_ROW)
        throwSqliteError(query.error(), statement);
    return query.value(0).toInt() != 0;
}

Engine::Assignment Engine::assignment(const Statement& statement) {
    SqliteStatement query(m_db, statement.sql);
    if (!query.ok())
        throwSqliteError(query.error(), statement);
    Assignment result;
    const int columns = sqlite3_column_count(query.handle());
    int rc = SQLITE_ROW;
    while ((rc = query.step()) == SQLITE_ROW) {
        ++result.rows;
        result.lastRow.clear();
        for (int i = 0; i < columns; ++i)
            result.lastRow.append(query.value(i));
    }
    if (rc != SQLITE_DONE)
        throwSqliteError(query.error(), statement);
    return result;
}

void Engine::transaction(Session& session, const Statement& statement) {
    switch (statement.kind) {
    case Statement::Kind::BeginTransaction:
        ++session.tranCount;
        return;
    case Statement::Kind::CommitTransaction:
        if (session.tranCount == 0)
            throw SqlError{3902,
                           QStringLiteral("The COMMIT TRANSACTION request has no corresponding "
                                          "BEGIN TRANSACTION."),
                           16, 1, false};
        if (--session.tranCount == 0)
            endTransaction(session, true);
        return;
    default:
        if (session.tranCount == 0)
            throw SqlError{3903,
                           QStringLiteral("The ROLLBACK TRANSACTION request has no corresponding "
                                          "BEGIN TRANSACTION."),
                           16, 1, false};
        rollback(session);
    }
}

void Engine::rollback(Session& session) {
    if (session.tranCount > 0)
        endTransaction(session, false);
}

void Engine::endSession(Session& session) {
    rollback(session);
    const QString suffix = u'@' + QString::number(session.spid);
    SqliteStatement query(m_db, QStringLiteral("select object_id, name from qx_objects where "
                                               "type = 'U' and name like '#%'"));
    QList<int> temporary;
    while (query.step() == SQLITE_ROW)
        if (query.value(1).toString().endsWith(suffix))
            temporary.append(query.value(0).toInt());
    for (const int objectId : temporary)
        if (const auto object = m_catalogue->object(objectId))
            removeObject(*object);
}

// SELECT ... INTO: a new table with the query's columns (all nullable, no
// identity), filled with its rows.
void Engine::selectInto(Session& session, const Statement& statement, QList<Outcome>& out) {
    QList<ResultColumn> columns;
    {
        ResultCursor described(*this, session, statement, true);
        columns = described.columns();
        // A new table's variant column keeps its values' own types.
        for (int i = 0; i < columns.size(); ++i)
            if (described.isVariant(i))
                columns[i].type = SqlType{BaseType::Variant, 0, 0, 0};
    }
    Statement create;
    create.kind = Statement::Kind::CreateTable;
    create.name = statement.name;
    create.line = statement.line;
    static const QRegularExpression declaration(
        QStringLiteral("^(\\w+)(?:\\((max|\\d+)(?:,(\\d+))?\\))?$"));
    for (const ResultColumn& column : columns) {
        const auto m = declaration.match(column.type.declaration().remove(u' '));
        if (!m.hasMatch() || column.name.isEmpty())
            throw SqlError{1038, QStringLiteral("An object or column name is missing or empty."),
                           15, 1, true};
        ColumnDefinition d;
        d.name = column.name;
        d.typeName = m.captured(1);
        if (m.capturedLength(2) > 0)
            d.arg1 = m.captured(2) == QLatin1String("max") ? -1 : m.captured(2).toInt();
        if (m.capturedLength(3) > 0)
            d.arg2 = m.captured(3).toInt();
        create.columns.append(d);
    }
    createTable(create);
    const auto object = m_catalogue->find(statement.name);
    const QString error = sqliteExec(m_db, QStringLiteral("insert into %1 select * from (%2)")
                                               .arg(quoteName(object->sqliteName), statement.sql));
    if (!error.isEmpty())
        throwSqliteError(error, statement);
    Outcome o;
    o.kind = Outcome::Kind::Done;
    o.count = sqlite3_changes(m_db);
    o.hasCount = !session.noCount;
    o.command = 0xC1;
    session.rowCount = o.count;
    out.append(o);
}

sqlite3* Engine::db() const {
    const Session* session = currentSession();
    return session && session->snapshot ? session->snapshot : m_db;
}

void Engine::runQuery(Session& session, const Statement& statement, QList<Outcome>& out) {
    Outcome o;
    o.kind = Outcome::Kind::Rows;
    o.cursor = std::make_shared<ResultCursor>(*this, session, statement, session.formatOnly);
    o.columns = o.cursor->columns();
    o.hasCount = true;
    o.command = 0xC1;
    o.line = statement.line;
    out.append(o);
}

void Engine::runModify(Session& session, const Statement& statement, QList<Outcome>& out) {
    const bool keysChecked = m_foreignKeys->begin(statement.objectId);
    const QString error = sqliteExec(m_db, statement.sql);
    const qint64 count = sqlite3_changes(m_db);
    if (keysChecked)
        m_foreignKeys->finish(statement.verb, !error.isEmpty());
    if (!error.isEmpty())
        throwSqliteError(error, statement);
    Outcome o;
    o.kind = Outcome::Kind::Done;
    o.count = count;
    o.hasCount = !session.noCount;
    o.command = statement.verb == QLatin1String("insert")   ? 0xC3
                : statement.verb == QLatin1String("delete") ? 0xC4
                                                            : 0xC5;
    session.rowCount = o.count;
    out.append(o);
}

void Engine::setOption(Session& session, const Statement& statement, QList<Outcome>& out) {
    const QString& option = statement.option;
    if (option == QLatin1String("nocount"))
        session.noCount = statement.value == QLatin1String("on");
    else if (option == QLatin1String("dateformat"))
        setDateFormat(session, statement);
    else if (option == QLatin1String("language"))
        out.append(setLanguage(session, statement));
    else if (option == QLatin1String("identity_insert"))
        setIdentityInsert(session, statement);
    else if (option == QLatin1String("textsize"))
        session.textSize = statement.value.toLongLong();
    else
        setListedOptions(session, statement);
}

void Engine::setIdentityInsert(Session& session, const Statement& statement) {
    const auto object = m_catalogue->find(statement.name);
    QStringList shown = statement.name;
    shown.removeAll(QString());
    if (!object || object->type != QLatin1String("U"))
        throw invalidObjectName(shown.join(u'.'));
    const auto table = m_catalogue->table(object->objectId);
    if (!table->identityColumn())
        throw SqlError{8106,
                       QStringLiteral("Table '%1' does not have the identity property. Cannot "
                                      "perform SET operation.")
                           .arg(shown.join(u'.')),
                       16, 1, false};
    if (statement.value == QLatin1String("on")) {
        if (session.identityInsertObject && session.identityInsertObject != object->objectId)
            throw SqlError{
                8107,
                QStringLiteral("IDENTITY_INSERT is already ON for table '%1'. Cannot "
                               "perform SET operation for table '%2'.")
                    .arg(session.identityInsertName,
                         m_options.database + u'.' + object->schema + u'.' + object->name),
                16, 1, false};
        session.identityInsertObject = object->objectId;
        session.identityInsertName =
            m_options.database + u'.' + object->schema + u'.' + object->name;
    } else if (session.identityInsertObject == object->objectId) {
        session.identityInsertObject = 0;
        session.identityInsertName.clear();
    }
}

int Engine::schemaFor(const QStringList& name) const {
    const QString schema = name.size() >= 2 ? name[name.size() - 2] : QString();
    if (schema.isEmpty())
        return 1;
    const auto id = m_catalogue->schemaId(schema);
    if (!id)
        throw SqlError{2760,
                       QStringLiteral("The specified schema name \"%1\" either does not exist or "
                                      "you do not have permission to use it.")
                           .arg(schema),
                       16, 1, false};
    return *id;
}

void Engine::createTable(const Statement& statement) {
    const int schemaId = schemaFor(statement.name);
    if (m_catalogue->find(statement.name))
        throw SqlError{2714,
                       QStringLiteral("There is already an object named '%1' in the database.")
                           .arg(statement.name.last()),
                       16, 6, false};
    refuseUnpersistedKey(statement, majorVersion());
    QList<ColumnInfo> columns;
    QStringList definitions;
    const ColumnDefinition* identity = nullptr;
    for (const ColumnDefinition& d : statement.columns) {
        ColumnInfo column;
        column.columnId = int(columns.size()) + 1;
        definitions.append(columnSql(d, column));
        if (column.identity) {
            if (identity)
                throw SqlError{2744,
                               QStringLiteral("Multiple identity columns specified for table "
                                              "'%1'. Only one identity column per table is "
                                              "allowed.")
                                   .arg(statement.name.last()),
                               16, 2, false};
            identity = &d;
        }
        columns.append(column);
    }
    if (!statement.primaryKey.isEmpty()) {
        QStringList keys;
        for (const QString& k : statement.primaryKey)
            keys.append(quoteName(k));
        definitions.append(QStringLiteral("unique (%1)").arg(keys.join(QStringLiteral(", "))));
    }
    const int objectId =
        m_catalogue->createObject(statement.name.last(), schemaId, QStringLiteral("U"), 0);
    const QString sqliteName = QStringLiteral("t%1").arg(objectId);
    const QString error =
        sqliteExec(m_db, QStringLiteral("create table %1 (%2)")
                             .arg(quoteName(sqliteName), definitions.join(QStringLiteral(", "))));
    if (!error.isEmpty()) {
        m_catalogue->dropObject(objectId);
        throwSqliteError(error, statement);
    }
    addUniqueIndexes(sqliteName, columns, statement);
    m_catalogue->setSqliteName(objectId, sqliteName);
    for (const ColumnInfo& column : columns)
        m_catalogue->addColumn(objectId, column);
    if (identity)
        m_catalogue->setIdentity(
            objectId, IdentityState{identity->seed, identity->increment, identity->seed, false});
    recordKeys(objectId, columns, statement);
    createConstraintObjects(statement, schemaId, objectId);
    addKeysAndKind(statement, objectId);
}

// A column's definition in SQLite's CREATE TABLE; column gets what the
// catalogue keeps of it.
QString Engine::columnSql(const ColumnDefinition& d, ColumnInfo& column) const {
    column.name = d.name;
    column.nullable = d.nullable;
    column.generatedAlways = d.generatedAlways;
    column.hidden = d.hidden;
    QString definition = quoteName(d.name) + u' ';
    if (!d.computedSql.isEmpty()) {
        column.type = d.computedType.value_or(SqlType{BaseType::Int, 0, 0, 0});
        column.userTypeId = column.type.userTypeId();
        column.computed = true;
        return definition + column.type.sqliteDeclaration() +
               QStringLiteral(" generated always as (") + d.computedSql +
               QStringLiteral(") virtual");
    }
    const auto type = m_catalogue->resolveType(d.typeName, d.arg1, d.arg2);
    if (!type)
        throw SqlError{2715,
                       QStringLiteral("Column, parameter, or variable #%1: Cannot find data "
                                      "type %2.")
                           .arg(column.columnId)
                           .arg(d.typeName),
                       16, 6, false};
    column.type = type->type;
    column.userTypeId = type->userTypeId;
    column.identity = d.identity;
    definition += column.type.sqliteDeclaration();
    // Dates and times take the collation too: it orders them by value.
    if (column.type.isText() && d.caseSensitive)
        definition += QStringLiteral(" collate tsql_cs");
    else if (column.type.isText() || column.type.isTemporal())
        definition += QStringLiteral(" collate tsql");
    if (!d.nullable && column.type.base != BaseType::Timestamp)
        definition += QStringLiteral(" not null");
    if (!d.defaultSql.isEmpty())
        definition += QStringLiteral(" default (tsql_store('%1', %2))")
                          .arg(column.type.declaration(), d.defaultSql);
    return definition;
}

// The constraint objects a real table brings along.
void Engine::createConstraintObjects(const Statement& statement, int schemaId, int objectId) {
    if (!statement.primaryKey.isEmpty()) {
        const QString name = statement.constraintName.isEmpty()
                                 ? QStringLiteral("PK__%1__%2")
                                       .arg(statement.name.last().left(16))
                                       .arg(objectId, 8, 16, QLatin1Char('0'))
                                       .toUpper()
                                 : statement.constraintName;
        m_catalogue->createObject(name, schemaId, QStringLiteral("PK"), objectId);
    }
    for (const ColumnDefinition& d : statement.columns)
        if (!d.defaultSql.isEmpty())
            m_catalogue->createObject(
                QStringLiteral("DF__%1__%2").arg(statement.name.last().left(9), d.name.left(5)),
                schemaId, QStringLiteral("D"), objectId);
}

void Engine::addKeysAndKind(const Statement& statement, int objectId) {
    // Keys last, so that one may refer to the table itself; SQL Server makes
    // neither the table nor any key when one key cannot be made.
    try {
        for (const ForeignKeyDefinition& key : statement.foreignKeys)
            m_foreignKeys->add(objectId, key, true);
        TableKind kind{
            0, 0, statement.ledgerType, statement.node, statement.edge, statement.memoryOptimized};
        if (statement.systemVersioning) {
            kind.temporalType = 2;
            kind.historyTableId = versionHistory(statement, objectId);
        }
        if (kind.temporalType || kind.ledgerType || kind.node || kind.edge || kind.memoryOptimized)
            m_catalogue->setTableKind(objectId, kind);
    } catch (const SqlError&) {
        m_foreignKeys->dropTable(objectId, statement.name.last());
        removeObject(*m_catalogue->object(objectId));
        throw;
    }
}

// A unique index of SQLite's for each UNIQUE constraint, apart from the
// primary key's own constraint, the one foreign keys look for. Unlike SQL
// Server's, such an index takes any number of NULLs.
void Engine::addUniqueIndexes(const QString& sqliteName, const QList<ColumnInfo>& columns,
                              const Statement& statement) {
    const auto isColumn = [&](const QString& name) {
        return std::any_of(columns.begin(), columns.end(), [&](const ColumnInfo& column) {
            return column.name.compare(name, Qt::CaseInsensitive) == 0;
        });
    };
    int number = 0;
    for (const QStringList& key : statement.uniqueKeys) {
        ++number;
        if (key.isEmpty() || !std::all_of(key.begin(), key.end(), isColumn))
            continue;
        QStringList quoted;
        for (const QString& column : key)
            quoted.append(quoteName(column));
        sqliteExec(m_db, QStringLiteral("create unique index %1 on %2 (%3)")
                             .arg(quoteName(sqliteName + QStringLiteral("_unique%1").arg(number)),
                                  quoteName(sqliteName), quoted.join(QStringLiteral(", "))));
    }
}

// The primary key as index 1, the unique constraints after it; a name that
// is no column of the table is no key.
void Engine::recordKeys(int objectId, const QList<ColumnInfo>& columns,
                        const Statement& statement) {
    const auto columnIds = [&](const QStringList& names) {
        QList<int> ids;
        for (const QString& name : names)
            for (const ColumnInfo& column : columns)
                if (column.name.compare(name, Qt::CaseInsensitive) == 0)
                    ids.append(column.columnId);
        return ids;
    };
    int indexId = 1;
    if (!statement.primaryKey.isEmpty())
        m_catalogue->addKey(objectId, indexId, columnIds(statement.primaryKey), true);
    for (const QStringList& key : statement.uniqueKeys)
        m_catalogue->addKey(objectId, ++indexId, columnIds(key), false);
}

// The history table of a new system-versioned table: the one named, or one
// made like it (period columns plain, no identity, keys or defaults), marked
// as history; SQLite triggers write the old rows to it on update and delete,
// with their period ending now.
int Engine::versionHistory(const Statement& statement, int objectId) {
    const auto table = m_catalogue->table(objectId);
    QString start;
    QString end;
    for (const ColumnInfo& c : table->columns) {
        if (c.generatedAlways == 1)
            start = c.name;
        else if (c.generatedAlways == 2)
            end = c.name;
    }
    if (start.isEmpty() || end.isEmpty())
        throw SqlError{13510,
                       QStringLiteral("Cannot set SYSTEM_VERSIONING to ON when SYSTEM_TIME period "
                                      "is not defined."),
                       16, 1, false};
    QStringList historyName = statement.historyTable;
    if (historyName.isEmpty())
        historyName = {statement.name.value(statement.name.size() - 2),
                       QStringLiteral("MSSQL_TemporalHistoryFor_%1").arg(objectId)};
    if (!m_catalogue->find(historyName))
        createTable(historyTableStatement(statement, historyName));
    const auto history = m_catalogue->find(historyName);
    if (!history || history->type != QLatin1String("U"))
        throw invalidObjectName(historyName.join(u'.'));
    m_catalogue->setTableKind(history->objectId, TableKind{1, 0, 0, false, false});
    addHistoryTriggers(statement, *table, end, history->sqliteName);
    return history->objectId;
}

// UPDATE and DELETE write the old version of a row into the history table,
// its period ending now.
void Engine::addHistoryTriggers(const Statement& statement, const TableInfo& table,
                                const QString& endColumn, const QString& historySqliteName) {
    QStringList names;
    QStringList oldValues;
    for (const ColumnInfo& c : table.columns) {
        if (c.computed)
            continue;
        names.append(quoteName(c.name));
        oldValues.append(c.name == endColumn
                             ? QStringLiteral("tsql_period_now('%1')").arg(c.type.declaration())
                             : QStringLiteral("old.") + quoteName(c.name));
    }
    for (const char* event : {"update", "delete"}) {
        const QString error = sqliteExec(
            m_db, QStringLiteral("create trigger %1 after %2 on %3 begin insert into %4 (%5) "
                                 "values (%6); end")
                      .arg(quoteName(table.object.sqliteName + QLatin1String("_history_") +
                                     QLatin1String(event)),
                           QLatin1String(event), quoteName(table.object.sqliteName),
                           quoteName(historySqliteName), names.join(QStringLiteral(", ")),
                           oldValues.join(QStringLiteral(", "))));
        if (!error.isEmpty())
            throwSqliteError(error, statement);
    }
}

void Engine::createModule(const Statement& statement) {
    const int schemaId = schemaFor(statement.name);
    auto existing = m_catalogue->find(statement.name);
    QStringList shown = statement.name;
    shown.removeAll(QString());
    int parentId = 0;
    if (statement.moduleType == QLatin1String("TR")) {
        const auto parent = m_catalogue->find(statement.parentName);
        if (!parent || (parent->type != QLatin1String("U") && parent->type != QLatin1String("V")))
            throw invalidObjectName(statement.parentName.join(u'.'));
        parentId = parent->objectId;
    }
    int objectId = 0;
    if (statement.createOrAlter && existing && existing->type != statement.moduleType)
        throw SqlError{2714,
                       QStringLiteral("There is already an object named '%1' in the database.")
                           .arg(statement.name.last()),
                       16, 3, false};
    if (statement.isAlter || (statement.createOrAlter && existing)) {
        if (!existing)
            throw invalidObjectName(shown.join(u'.'));
        objectId = existing->objectId;
    } else if (existing &&
               !(statement.moduleType == QLatin1String("P") && statement.procedureNumber > 1 &&
                 existing->type == QLatin1String("P"))) {
        throw SqlError{2714,
                       QStringLiteral("There is already an object named '%1' in the database.")
                           .arg(statement.name.last()),
                       16, 3, false};
    } else if (existing) {
        objectId = existing->objectId;
    } else {
        objectId = m_catalogue->createObject(statement.name.last(), schemaId, statement.moduleType,
                                             parentId);
    }
    // An encrypted module keeps no readable text, as on the real server.
    m_catalogue->setModule(objectId, statement.procedureNumber,
                           statement.encrypted ? std::nullopt
                                               : std::optional<QString>(statement.definition),
                           statement.encrypted);
    if (statement.moduleType == QLatin1String("V")) {
        const QString sqliteName = QStringLiteral("v%1").arg(objectId);
        sqliteExec(m_db, QStringLiteral("drop view if exists %1").arg(quoteName(sqliteName)));
        if (!statement.viewSql.isEmpty() &&
            sqliteExec(m_db, QStringLiteral("create view %1 as %2")
                                 .arg(quoteName(sqliteName), statement.viewSql))
                .isEmpty())
            m_catalogue->setSqliteName(objectId, sqliteName);
        else
            m_catalogue->setSqliteName(objectId, QString());
    }
}

void Engine::drop(const Statement& statement) {
    for (const QStringList& name : statement.names) {
        QStringList shown = name;
        shown.removeAll(QString());
        const QString& kind = statement.dropType;
        if (kind == QLatin1String("type")) {
            const auto type = m_catalogue->resolveType(name.last(), -2, -2);
            if (!type || type->userTypeId <= 256)
                throw SqlError{218,
                               QStringLiteral("Could not find the type '%1'. Either it does not "
                                              "exist or you do not have the necessary "
                                              "permission.")
                                   .arg(shown.join(u'.')),
                               16, 1, false};
            sqliteExec(m_db, QStringLiteral("delete from qx_types where user_type_id = ?"),
                       {type->userTypeId});
            continue;
        }
        if (kind == QLatin1String("schema")) {
            const auto id = m_catalogue->schemaId(name.last());
            if (id)
                sqliteExec(m_db, QStringLiteral("delete from qx_schemas where schema_id = ?"),
                           {*id});
            continue;
        }
        static const QHash<QString, QString> types = {
            {"table", "U"}, {"proc", "P"}, {"view", "V"}, {"trigger", "TR"}, {"function", "FN"}};
        const auto object = m_catalogue->find(name);
        const QString wanted = types.value(kind);
        const bool matches =
            object && (object->type == wanted ||
                       (wanted == QLatin1String("FN") && (object->type == QLatin1String("IF") ||
                                                          object->type == QLatin1String("TF"))));
        if (!matches)
            throw SqlError{
                3701,
                QStringLiteral("Cannot drop the %1 '%2', because it does not exist or "
                               "you do not have permission.")
                    .arg(kind == QLatin1String("proc") ? QStringLiteral("procedure") : kind,
                         shown.join(u'.')),
                11, 5, false};
        if (object->type == QLatin1String("U"))
            m_foreignKeys->dropTable(object->objectId, shown.join(u'.'));
        removeObject(*object);
    }
}

void Engine::rename(const Statement& statement) {
    const auto object = m_catalogue->find(statement.names.first());
    if (!object)
        throw SqlError{15248,
                       QStringLiteral("Either the parameter @objname is ambiguous or the claimed "
                                      "@objtype (OBJECT) is wrong."),
                       11, 1, false};
    QStringList target{object->schema, statement.value};
    if (const auto other = m_catalogue->find(target); other && other->objectId != object->objectId)
        throw SqlError{15335,
                       QStringLiteral("Error: The new name '%1' is already in use as a OBJECT "
                                      "name and would cause a duplicate that is not permitted.")
                           .arg(statement.value),
                       11, 1, false};
    m_catalogue->renameObject(object->objectId, statement.value);
}

// An object with what belongs to it: its constraints, triggers and SQLite
// table or view.
void Engine::removeObject(const ObjectInfo& object) {
    for (int child : m_catalogue->objectsWithParent(object.objectId))
        m_catalogue->dropObject(child);
    if (!object.sqliteName.isEmpty())
        sqliteExec(m_db, QStringLiteral("drop %1 if exists %2")
                             .arg(object.type == QLatin1String("V") ? QStringLiteral("view")
                                                                    : QStringLiteral("table"),
                                  quoteName(object.sqliteName)));
    m_catalogue->dropObject(object.objectId);
}

// ALTER TABLE: keys added or constraints dropped, one after another, as
// SQL Server runs them.
void Engine::alterTable(const Statement& statement) {
    const auto object = m_catalogue->find(statement.name);
    QStringList shown = statement.name;
    shown.removeAll(QString());
    if (!object || object->type != QLatin1String("U"))
        throw SqlError{4902,
                       QStringLiteral("Cannot find the object \"%1\" because it does not exist or "
                                      "you do not have permissions.")
                           .arg(shown.join(u'.')),
                       16, 1, false};
    if (statement.kind == Statement::Kind::CheckConstraints) {
        QStringList names;
        for (const QStringList& name : statement.names)
            names.append(name.first());
        m_foreignKeys->setChecking(object->objectId, names, statement.enableKeys,
                                   statement.withCheck);
        return;
    }
    for (const ForeignKeyDefinition& key : statement.foreignKeys)
        m_foreignKeys->add(object->objectId, key, !statement.noCheck);
    for (const QStringList& name : statement.names)
        m_foreignKeys->dropConstraint(object->objectId, name.first());
}

void Engine::truncate(Session& session, const Statement& statement) {
    const auto object = m_catalogue->find(statement.name);
    QStringList shown = statement.name;
    shown.removeAll(QString());
    if (!object || object->type != QLatin1String("U"))
        throw SqlError{4701,
                       QStringLiteral("Cannot find the object \"%1\" because it does not exist or "
                                      "you do not have permissions.")
                           .arg(shown.join(u'.')),
                       16, 1, false};
    const auto table = m_catalogue->table(object->objectId);
    if (table->kind.temporalType == 2 ||
        (table->kind.temporalType == 1 && m_catalogue->versionedTableOf(object->objectId)))
        throw SqlError{13545,
                       QStringLiteral("Truncate failed on table '%1.%2.%3' because it is not a "
                                      "supported operation on system-versioned tables.")
                           .arg(m_options.database, object->schema, object->name),
                       16, 1, false};
    if (table->kind.memoryOptimized)
        throw SqlError{10794,
                       QStringLiteral("The statement 'TRUNCATE TABLE' is not supported with memory "
                                      "optimized tables."),
                       16, 96, false};
    m_foreignKeys->checkTruncate(object->objectId, shown.join(u'.'));
    sqliteExec(m_db, QStringLiteral("delete from %1").arg(quoteName(object->sqliteName)));
    if (auto state = m_catalogue->identity(object->objectId)) {
        state->current = state->seed;
        state->used = false;
        resetIdentity(session, object->objectId, *state);
    }
}

// Within a transaction the counter's state before its first reset is kept
// for a rollback.
void Engine::resetIdentity(Session& session, int objectId, const IdentityState& state) {
    if (session.tranCount > 0 && !session.identitiesBeforeReset.contains(objectId))
        if (const auto before = m_catalogue->identity(objectId))
            session.identitiesBeforeReset.insert(objectId, *before);
    m_catalogue->setIdentity(objectId, state);
}

// DBCC CHECKIDENT as documented: RESEED with a value sets the current value
// (used as is by the next insert when the table never had a row since it was
// created or truncated); RESEED alone and no option raise it to the column's
// maximum; NORESEED only reports.
void Engine::checkIdent(Session& session, const Statement& statement, QList<Outcome>& out) {
    const auto object = m_catalogue->find(statement.name);
    QStringList shown = statement.name;
    shown.removeAll(QString());
    if (!object || object->type != QLatin1String("U"))
        throw SqlError{2501,
                       QStringLiteral("Cannot find a table or object with the name \"%1\". Check "
                                      "the system catalog.")
                           .arg(shown.join(u'.')),
                       16, 1, false};
    const auto table = m_catalogue->table(object->objectId);
    const ColumnInfo* column = table->identityColumn();
    auto state = m_catalogue->identity(object->objectId);
    if (!column || !state)
        throw SqlError{
            7997, QStringLiteral("'%1' does not contain an identity column.").arg(object->name), 16,
            1, false};
    const QVariant maximum =
        sqliteScalar(m_db, QStringLiteral("select max(%1) from %2")
                               .arg(quoteName(column->name), quoteName(object->sqliteName)));
    const QString before = state->used || statement.hasValue ? QString::number(state->current)
                                                             : QStringLiteral("NULL");
    QString message;
    if (statement.option == QLatin1String("reseed") && statement.hasValue) {
        message = QStringLiteral("Checking identity information: current identity value '%1'.")
                      .arg(state->used ? QString::number(state->current) : QStringLiteral("NULL"));
        state->current = statement.number;
    } else {
        if (statement.option != QLatin1String("noreseed") && maximum.isValid() &&
            !maximum.isNull() && (!state->used || maximum.toLongLong() > state->current)) {
            state->current = maximum.toLongLong();
            state->used = true;
        }
        message = QStringLiteral("Checking identity information: current identity value '%1', "
                                 "current column value '%2'.")
                      .arg(before, maximum.isNull() ? QStringLiteral("NULL") : maximum.toString());
    }
    resetIdentity(session, object->objectId, *state);
    if (statement.value == QLatin1String("no_infomsgs"))
        return;
    for (const QString& text :
         {message, QStringLiteral("DBCC execution completed. If DBCC printed error messages, "
                                  "contact your system administrator.")}) {
        Outcome o;
        o.kind = Outcome::Kind::Message;
        o.message = SqlError{text == message ? 7998 : 2528, text, 0, 1, false};
        out.append(o);
    }
}

} // namespace quarvex::standin
