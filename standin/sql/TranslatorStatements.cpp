#include "standin/sql/Translator.h"
#include "standin/store/Catalogue.h"
#include "standin/store/Sqlite.h"
#include "standin/values/ExactDecimal.h"

#include <QSet>

namespace quarvex::standin {

// Statements other than queries: DML, DDL and SET, one rule each.

namespace {

// While versioning is on, only the server writes a history table.
void refuseHistoryWrite(const Catalogue& catalogue, const TableInfo& table, const QString& verb,
                        const QString& database) {
    if (table.kind.temporalType != 1 || !catalogue.versionedTableOf(table.object.objectId))
        return;
    const QString name = database + u'.' + table.object.schema + u'.' + table.object.name;
    if (verb == QLatin1String("insert"))
        throw SqlError{
            13559, QStringLiteral("Cannot insert rows in a temporal history table '%1'.").arg(name),
            16, 1, false};
    if (verb == QLatin1String("update"))
        throw SqlError{
            13561, QStringLiteral("Cannot update rows in a temporal history table '%1'.").arg(name),
            16, 1, false};
    throw SqlError{
        13560, QStringLiteral("Cannot delete rows from a temporal history table '%1'.").arg(name),
        16, 1, false};
}

// What the server puts into a column it fills itself: a period starts now
// and ends at the type's largest value; ledger numbers are not kept.
QString generatedValue(const ColumnInfo& column) {
    if (column.generatedAlways == 1)
        return QStringLiteral("tsql_period_now('%1')").arg(column.type.declaration());
    if (column.generatedAlways == 2) {
        // The largest value of the column's scale: more nines would round up.
        const int scale = column.type.scale;
        return QStringLiteral("tsql_store('%1', '9999-12-31 23:59:59%2')")
            .arg(column.type.declaration(), scale > 0 ? u'.' + QString(scale, u'9') : QString());
    }
    return QStringLiteral("tsql_store('%1', 0)").arg(column.type.declaration());
}

// Without a column list, the columns a value is given for.
QList<const ColumnInfo*> defaultTargets(const TableInfo& table) {
    QList<const ColumnInfo*> targets;
    for (const ColumnInfo& c : table.columns)
        if (!c.identity && !c.computed && c.type.base != BaseType::Timestamp &&
            !c.generatedAlways && !c.hidden)
            targets.append(&c);
    return targets;
}

// The columns of an INSERT's list; those the server fills itself refused.
QList<const ColumnInfo*> listedTargets(const QStringList& listed, const TableInfo& table,
                                       const ObjectInfo& object, const QString& database) {
    QList<const ColumnInfo*> targets;
    for (const QString& columnName : listed) {
        const ColumnInfo* c = table.column(columnName);
        if (!c)
            throw invalidColumnName(columnName);
        if (c->computed)
            throw SqlError{271,
                           QStringLiteral("The column \"%1\" cannot be modified because it is "
                                          "either a computed column or is the result of a "
                                          "UNION operator.")
                               .arg(c->name),
                           16, 1, false};
        if (c->generatedAlways)
            throw SqlError{13536,
                           QStringLiteral("Cannot insert an explicit value into a GENERATED "
                                          "ALWAYS column in table '%1.%2.%3'. Use INSERT with "
                                          "a column list to exclude the GENERATED ALWAYS "
                                          "column, or insert a DEFAULT into GENERATED ALWAYS "
                                          "column.")
                               .arg(database, object.schema, object.name),
                           16, 1, false};
        if (c->type.base == BaseType::Timestamp)
            throw SqlError{273,
                           QStringLiteral("Cannot insert an explicit value into a timestamp "
                                          "column. Use INSERT with a column list to exclude "
                                          "the timestamp column, or insert a DEFAULT into the "
                                          "timestamp column."),
                           16, 1, false};
        targets.append(c);
    }
    return targets;
}

// An identity column is given a value exactly when IDENTITY_INSERT is on.
void checkIdentityTarget(const TableInfo& table, const QList<const ColumnInfo*>& targets,
                         bool identityInsert, const QString& tableName) {
    const ColumnInfo* identity = table.identityColumn();
    const bool identityListed = identity && targets.contains(identity);
    if (identityListed && !identityInsert)
        throw SqlError{544,
                       QStringLiteral("Cannot insert explicit value for identity column in table "
                                      "'%1' when IDENTITY_INSERT is set to OFF.")
                           .arg(tableName),
                       16, 1, false};
    if (identity && !identityListed && identityInsert)
        throw SqlError{545,
                       QStringLiteral("Explicit value must be specified for identity column in "
                                      "table '%1' either when IDENTITY_INSERT is set to ON or "
                                      "when a replication user is inserting into a NOT FOR "
                                      "REPLICATION identity column.")
                           .arg(tableName),
                       16, 1, false};
}

void checkRowWidth(int values, int targets) {
    if (values > targets)
        throw SqlError{110,
                       QStringLiteral("There are fewer columns in the INSERT statement than "
                                      "values specified in the VALUES clause. The number of "
                                      "values in the VALUES clause must match the number of "
                                      "columns specified in the INSERT statement."),
                       15, 1, true};
    if (values < targets)
        throw SqlError{109,
                       QStringLiteral("There are more columns in the INSERT statement than "
                                      "values specified in the VALUES clause. The number of "
                                      "values in the VALUES clause must match the number of "
                                      "columns specified in the INSERT statement."),
                       15, 1, true};
}

// What an INSERT's SELECT gives each column: the row's values (src.c1, ...)
// stored as the column's type, the identity, the rowversion and the
// generated columns the server fills itself.
struct InsertColumns {
    QStringList names;
    QStringList values;
    QStringList sourceNames;
};

InsertColumns insertColumns(const TableInfo& table, const QList<const ColumnInfo*>& targets,
                            int objectId) {
    InsertColumns columns;
    const ColumnInfo* identity = table.identityColumn();
    for (int i = 0; i < targets.size(); ++i) {
        const ColumnInfo* c = targets[i];
        const QString source = QStringLiteral("src.c%1").arg(i + 1);
        columns.sourceNames.append(QStringLiteral("c%1").arg(i + 1));
        columns.names.append(quoteName(c->name));
        if (c == identity)
            columns.values.append(
                QStringLiteral("tsql_seen_identity(%1, %2)").arg(objectId).arg(source));
        else
            columns.values.append(
                QStringLiteral("tsql_store('%1', %2)").arg(c->type.declaration(), source));
    }
    if (identity && !targets.contains(identity)) {
        columns.names.append(quoteName(identity->name));
        columns.values.append(QStringLiteral("tsql_next_identity(%1)").arg(objectId));
    }
    for (const ColumnInfo& c : table.columns) {
        if (c.type.base == BaseType::Timestamp) {
            columns.names.append(quoteName(c.name));
            columns.values.append(QStringLiteral("tsql_rowversion()"));
        } else if (c.generatedAlways) {
            columns.names.append(quoteName(c.name));
            columns.values.append(generatedValue(c));
        }
    }
    return columns;
}

} // namespace

// INSERT [INTO] name [(columns)] VALUES (...), ... | query | DEFAULT VALUES.
Statement Translator::parseInsert() {
    expectWord("insert");
    takeWord("into");
    const QStringList name = parseName();
    QStringList listed;
    if (peek().isSymbol("(") && !peek(1).isWord("select")) {
        take();
        do
            listed.append(parseNamePart());
        while (takeSymbol(","));
        expectSymbol(")");
    }
    const InsertSource source = parseInsertSource();

    Statement statement;
    statement.kind = Statement::Kind::Modify;
    statement.verb = QStringLiteral("insert");
    statement.name = name;
    if (!m_context.catalogue)
        return statement;

    const QString sqliteName = resolveTable(name);
    const auto object = m_context.catalogue->find(name);
    const auto table = m_context.catalogue->table(object->objectId);
    if (object->type != QLatin1String("U"))
        throw unsupported(QStringLiteral("inserting into views"));
    statement.objectId = object->objectId;
    refuseHistoryWrite(*m_context.catalogue, *table, statement.verb, m_context.database);
    const bool identityInsert = m_context.identityInsertObject == object->objectId;
    if (listed.isEmpty() && identityInsert)
        throw SqlError{8101,
                       QStringLiteral("An explicit value for the identity column in table "
                                      "'%1' can only be specified when a column list is used "
                                      "and IDENTITY_INSERT is ON.")
                           .arg(name.join(u'.')),
                       16, 1, false};
    const QList<const ColumnInfo*> targets =
        listed.isEmpty() ? defaultTargets(*table)
                         : listedTargets(listed, *table, *object, m_context.database);
    checkIdentityTarget(*table, targets, identityInsert, object->name);
    for (int width : source.rowWidths)
        checkRowWidth(width, int(targets.size()));
    const InsertColumns columns = insertColumns(*table, targets, object->objectId);
    if (source.defaultValues && columns.names.isEmpty()) {
        statement.sql = QStringLiteral("insert into %1 default values").arg(sqliteName);
        return statement;
    }
    const QString from = source.defaultValues         ? QStringLiteral("(select 1)")
                         : source.selectSql.isEmpty() ? source.rowsSql
                                                      : source.selectSql;
    const QString cte = columns.sourceNames.isEmpty()
                            ? QStringLiteral("with src as (%1) ").arg(from)
                            : QStringLiteral("with src(%1) as (%2) ")
                                  .arg(columns.sourceNames.join(QStringLiteral(", ")), from);
    statement.sql = cte + QStringLiteral("insert into %1 (%2) select %3 from src")
                              .arg(sqliteName, columns.names.join(QStringLiteral(", ")),
                                   columns.values.join(QStringLiteral(", ")));
    return statement;
}

// What follows the column list: the rows of VALUES as SQL, a query, or
// DEFAULT VALUES.
Translator::InsertSource Translator::parseInsertSource() {
    InsertSource source;
    if (takeWord("values")) {
        QStringList rowTexts;
        do {
            expectSymbol("(");
            QStringList texts;
            do
                texts.append(parseExpr().sql);
            while (takeSymbol(","));
            expectSymbol(")");
            source.rowWidths.append(int(texts.size()));
            rowTexts.append(u'(' + texts.join(QStringLiteral(", ")) + u')');
        } while (takeSymbol(","));
        source.rowsSql = QStringLiteral("values ") + rowTexts.join(QStringLiteral(", "));
    } else if (peek().isWord("select") || peek().isSymbol("(")) {
        source.selectSql = parseQuery().sql;
    } else if (takeWord("default")) {
        expectWord("values");
        source.defaultValues = true;
    } else if (peek().isWord("exec") || peek().isWord("execute")) {
        throw unsupported(QStringLiteral("INSERT ... EXEC"));
    } else {
        syntaxError();
    }
    return source;
}

// Rule: UPDATE t SET col = value, ... [WHERE]; values converted like INSERT's.
Statement Translator::parseUpdate() {
    expectWord("update");
    const QStringList name = parseName();
    expectWord("set");
    QStringList assignedColumns;
    QList<Expr> values;
    do {
        QStringList column = parseName();
        expectSymbol("=");
        assignedColumns.append(column.last());
        values.append(parseExpr());
    } while (takeSymbol(","));
    if (peek().isWord("from"))
        return parseUpdateFrom(name, assignedColumns, values);
    QString where;
    if (takeWord("where"))
        where = QStringLiteral(" where ") + parseExpr().sql;
    Statement statement;
    statement.kind = Statement::Kind::Modify;
    statement.verb = QStringLiteral("update");
    statement.name = name;
    if (!m_context.catalogue)
        return statement;
    const QString sqliteName = resolveTable(name);
    statement.objectId = m_context.catalogue->find(name)->objectId;
    statement.sql = QStringLiteral("update %1 as %2 set %3%4")
                        .arg(sqliteName, quoteName(name.last()),
                             assignments(statement.objectId, assignedColumns, values), where);
    return statement;
}

// The SET list of an UPDATE, each value stored as its column's type.
QString Translator::assignments(int objectId, const QStringList& columns,
                                const QList<Expr>& values) const {
    const auto table = m_context.catalogue->table(objectId);
    refuseHistoryWrite(*m_context.catalogue, *table, QStringLiteral("update"), m_context.database);
    QStringList sets;
    for (int i = 0; i < columns.size(); ++i) {
        const ColumnInfo* c = table->column(columns[i]);
        if (!c)
            throw invalidColumnName(columns[i]);
        if (c->identity)
            throw SqlError{8102, QStringLiteral("Cannot update identity column '%1'.").arg(c->name),
                           16, 1, false};
        if (c->generatedAlways)
            throw SqlError{13537,
                           QStringLiteral("Cannot update GENERATED ALWAYS columns in table "
                                          "'%1.%2.%3'.")
                               .arg(m_context.database, table->object.schema, table->object.name),
                           16, 1, false};
        if (c->computed || c->type.base == BaseType::Timestamp)
            throw SqlError{271,
                           QStringLiteral("The column \"%1\" cannot be modified because it is "
                                          "either a computed column or is the result of a UNION "
                                          "operator.")
                               .arg(c->name),
                           16, 1, false};
        sets.append(
            quoteName(c->name) +
            QStringLiteral(" = tsql_store('%1', %2)").arg(c->type.declaration(), values[i].sql));
    }
    for (const ColumnInfo& c : table->columns) {
        if (c.type.base == BaseType::Timestamp)
            sets.append(quoteName(c.name) + QStringLiteral(" = tsql_rowversion()"));
        // The new version of an updated row starts now.
        else if (c.generatedAlways == 1 && table->kind.temporalType == 2)
            sets.append(quoteName(c.name) + QStringLiteral(" = ") + generatedValue(c));
    }
    return sets.join(QStringLiteral(", "));
}

// Rule: UPDATE alias SET ... FROM table alias [INNER] JOIN other alias ON
// condition ... [WHERE]: the aliased table is changed, the others joined.
Statement Translator::parseUpdateFrom(const QStringList& target, const QStringList& assignedColumns,
                                      const QList<Expr>& values) {
    expectWord("from");
    struct Source {
        QStringList name;
        QString alias;
    };
    QList<Source> sources;
    QStringList conditions;
    do {
        Source source;
        source.name = parseName();
        takeWord("as");
        source.alias = peek().isName() && !isReserved(peek()) ? take().text : source.name.last();
        sources.append(source);
        if (sources.size() > 1) {
            expectWord("on");
            conditions.append(u'(' + parseExpr().sql + u')');
        }
        takeWord("inner");
    } while (takeWord("join"));
    if (takeWord("where"))
        conditions.append(u'(' + parseExpr().sql + u')');
    Statement statement;
    statement.kind = Statement::Kind::Modify;
    statement.verb = QStringLiteral("update");
    if (!m_context.catalogue)
        return statement;
    qsizetype changed = -1;
    for (qsizetype i = 0; i < sources.size(); ++i)
        if (sources[i].alias.compare(target.last(), Qt::CaseInsensitive) == 0)
            changed = i;
    if (changed < 0)
        throw invalidObjectName(target.join(u'.'));
    statement.name = sources[changed].name;
    statement.objectId = m_context.catalogue->find(statement.name)->objectId;
    QStringList joined;
    for (qsizetype i = 0; i < sources.size(); ++i)
        if (i != changed)
            joined.append(resolveTable(sources[i].name) + QStringLiteral(" as ") +
                          quoteName(sources[i].alias));
    statement.sql = QStringLiteral("update %1 as %2 set %3 from %4")
                        .arg(resolveTable(statement.name), quoteName(sources[changed].alias),
                             assignments(statement.objectId, assignedColumns, values),
                             joined.join(QStringLiteral(", ")));
    if (!conditions.isEmpty())
        statement.sql += QStringLiteral(" where ") + conditions.join(QStringLiteral(" and "));
    return statement;
}

// Rule: DELETE [FROM] t [WHERE], and DELETE alias FROM t alias [WHERE].
Statement Translator::parseDelete() {
    expectWord("delete");
    takeWord("from");
    QStringList name = parseName();
    QString alias = name.last();
    if (takeWord("from")) {
        const QString named = alias;
        name = parseName();
        takeWord("as");
        alias = peek().isName() && !isReserved(peek()) ? take().text : name.last();
        if (alias.compare(named, Qt::CaseInsensitive) != 0)
            throw invalidObjectName(named);
    }
    QString where;
    if (takeWord("where"))
        where = QStringLiteral(" where ") + parseExpr().sql;
    Statement statement;
    statement.kind = Statement::Kind::Modify;
    statement.verb = QStringLiteral("delete");
    statement.name = name;
    if (!m_context.catalogue)
        return statement;
    statement.sql =
        QStringLiteral("delete from %1 as %2%3").arg(resolveTable(name), quoteName(alias), where);
    statement.objectId = m_context.catalogue->find(name)->objectId;
    refuseHistoryWrite(*m_context.catalogue, *m_context.catalogue->table(statement.objectId),
                       statement.verb, m_context.database);
    return statement;
}

Statement Translator::parseTruncate() {
    expectWord("truncate");
    expectWord("table");
    Statement statement;
    statement.kind = Statement::Kind::Truncate;
    statement.name = parseName();
    return statement;
}

// Rule: SET options. NOCOUNT, DATEFORMAT, LANGUAGE and IDENTITY_INSERT act;
// the connection options a client sends are accepted and kept.
Statement Translator::parseSet() {
    expectWord("set");
    if (peek().kind == Token::Variable && !peek().text.startsWith(QLatin1String("@@")))
        return parseVariableAssignment();
    Statement statement;
    statement.kind = Statement::Kind::SetOption;
    if (!peek().isName())
        syntaxError();
    statement.option = take().text.toLower();
    const QString& option = statement.option;
    if (option == QLatin1String("identity_insert")) {
        statement.name = parseName();
        if (!peek().isWord("on") && !peek().isWord("off"))
            syntaxError();
        statement.value = take().text.toLower();
    } else if (option == QLatin1String("transaction")) {
        expectWord("isolation");
        expectWord("level");
        while (peek().kind == Token::Word && !isReserved(peek()))
            statement.value += take().text.toLower() + u' ';
    } else if (option == QLatin1String("dateformat") || option == QLatin1String("language")) {
        if (!peek().isName() && peek().kind != Token::String)
            syntaxError();
        statement.value = take().text;
    } else if (peek().kind == Token::Integer || peek().isSymbol("-")) {
        const bool negative = takeSymbol("-");
        if (peek().kind != Token::Integer)
            syntaxError();
        statement.value = (negative ? QStringLiteral("-") : QString()) + take().text;
    } else {
        // SET ANSI_NULLS, QUOTED_IDENTIFIER ON, or a list: SET A, B ON.
        QStringList options{option};
        while (takeSymbol(",")) {
            if (!peek().isName())
                syntaxError();
            options.append(take().text.toLower());
        }
        if (!peek().isWord("on") && !peek().isWord("off"))
            syntaxError();
        statement.value = take().text.toLower();
        statement.names.append(options);
    }
    return statement;
}

Statement Translator::parsePrint() {
    expectWord("print");
    Statement statement;
    statement.kind = Statement::Kind::Print;
    statement.sql =
        QStringLiteral("select tsql_convert('nvarchar(4000)', ") + parseExpr().sql + u')';
    return statement;
}

// Rule: DBCC CHECKIDENT('t' [, RESEED [, n] | NORESEED]) [WITH NO_INFOMSGS].
Statement Translator::parseDbcc() {
    expectWord("dbcc");
    if (!peek().isWord("checkident"))
        return unsupportedRest(QStringLiteral("DBCC ") + peek().text.toUpper());
    take();
    expectSymbol("(");
    Statement statement;
    statement.kind = Statement::Kind::CheckIdent;
    if (peek().kind == Token::String || peek().kind == Token::UnicodeString) {
        const QString text = take().text;
        const QList<Token> inner = lex(text).tokens;
        Translator nameParser(text, inner, {});
        statement.name = nameParser.parseName();
    } else {
        statement.name = parseName();
    }
    if (takeSymbol(",")) {
        if (!peek().isName())
            syntaxError();
        statement.option = take().text.toLower();
        if (statement.option == QLatin1String("reseed") && takeSymbol(",")) {
            const bool negative = takeSymbol("-");
            if (peek().kind != Token::Integer)
                syntaxError();
            statement.number = (negative ? -1 : 1) * take().text.toLongLong();
            statement.hasValue = true;
        }
    }
    expectSymbol(")");
    if (takeWord("with")) {
        do
            statement.value = parseNamePart().toLower();
        while (takeSymbol(","));
    }
    return statement;
}

Statement Translator::parseUse() {
    expectWord("use");
    Statement statement;
    statement.kind = Statement::Kind::Use;
    statement.name = QStringList{parseNamePart()};
    return statement;
}

// ---- definitions -----------------------------------------------------------

Statement Translator::parseCreate(bool isAlter) {
    const Token& verb = m_tokens[m_pos - 1];
    // Servers before 2016 SP1 know no CREATE OR ALTER: OR is a syntax error.
    if (!isAlter && peek().isWord("or")) {
        if (!m_context.createOrAlter || !peek(1).isWord("alter"))
            syntaxError();
        take();
        take();
        if (!(peek().isWord("proc") || peek().isWord("procedure") || peek().isWord("view") ||
              peek().isWord("trigger") || peek().isWord("function")))
            syntaxError();
        Statement statement = parseModule(false, verb);
        statement.createOrAlter = true;
        return statement;
    }
    const Token& what = peek();
    if (what.isWord("proc") || what.isWord("procedure") || what.isWord("view") ||
        what.isWord("trigger") || what.isWord("function"))
        return parseModule(isAlter, verb);
    if (isAlter && what.isWord("table"))
        return parseAlterTable();
    if (isAlter && what.isWord("database"))
        return parseAlterDatabase();
    if (isAlter)
        return unsupportedRest(QStringLiteral("ALTER ") + what.text.toUpper());
    if (what.isWord("table"))
        return parseCreateTable();
    if (what.isWord("type"))
        return parseCreateType();
    if (what.isWord("schema")) {
        take();
        Statement statement;
        statement.kind = Statement::Kind::CreateSchema;
        statement.name = QStringList{parseNamePart()};
        if (takeWord("authorization"))
            parseNamePart();
        return statement;
    }
    return unsupportedRest(QStringLiteral("CREATE ") + what.text.toUpper());
}

// Rule: CREATE TABLE with SQL Server types, NULL/NOT NULL, IDENTITY(seed,
// increment), DEFAULT, computed columns (name AS expression), PRIMARY KEY,
// UNIQUE and FOREIGN KEY (column or table constraint); CHECK is read and not
// enforced.
// CREATE TABLE name (columns and constraints) [ON ...] [AS NODE | EDGE] [WITH (...)].
Statement Translator::parseCreateTable() {
    expectWord("table");
    Statement statement;
    statement.kind = Statement::Kind::CreateTable;
    statement.name = parseName();
    expectSymbol("(");
    m_columnTypes.clear();
    do {
        if (peek().isWord("constraint") || peek().isWord("primary") || peek().isWord("unique") ||
            peek().isWord("foreign") || peek().isWord("check")) {
            parseTableConstraint(statement);
        } else if (peek().isWord("period") && peek(1).isWord("for")) {
            // PERIOD FOR SYSTEM_TIME (start, end): the columns say what they are.
            take();
            take();
            parseNamePart();
            skipParenthesised();
        } else {
            statement.columns.append(parseColumnDefinition(statement));
        }
    } while (takeSymbol(","));
    expectSymbol(")");
    if (takeWord("on"))
        parseNamePart();
    if (takeWord("textimage_on"))
        parseNamePart();
    if (takeWord("as")) {
        statement.node = takeWord("node");
        if (!statement.node) {
            expectWord("edge");
            statement.edge = true;
        }
    }
    if (takeWord("with"))
        parseTableOptions(statement);
    m_columnTypes.clear();
    return statement;
}

void Translator::skipParenthesised() {
    expectSymbol("(");
    int depth = 1;
    while (depth > 0 && peek().kind != Token::End) {
        if (peek().isSymbol("("))
            ++depth;
        else if (peek().isSymbol(")"))
            --depth;
        take();
    }
}

void Translator::skipIndexOptions() {
    if (!takeWord("clustered"))
        takeWord("nonclustered");
}

// [CONSTRAINT name] PRIMARY KEY | UNIQUE | FOREIGN KEY | CHECK, after the columns.
void Translator::parseTableConstraint(Statement& statement) {
    QString constraintName;
    if (takeWord("constraint"))
        constraintName = parseNamePart();
    if (takeWord("primary")) {
        expectWord("key");
        skipIndexOptions();
        statement.primaryKey = parseKeyColumns();
        statement.constraintName = constraintName;
    } else if (takeWord("unique")) {
        skipIndexOptions();
        statement.uniqueKeys.append(parseKeyColumns());
    } else if (takeWord("foreign")) {
        expectWord("key");
        const QStringList columns = parseKeyColumns();
        statement.foreignKeys.append(parseReferences(constraintName, columns));
    } else if (takeWord("check")) {
        skipParenthesised();
    } else {
        syntaxError();
    }
}

// A column: name AS expression, or name type and its column constraints.
ColumnDefinition Translator::parseColumnDefinition(Statement& statement) {
    ColumnDefinition column;
    column.name = parseNamePart();
    if (takeWord("as")) {
        parseComputedColumn(statement, column);
        return column;
    }
    const TypeSpec declared = parseTypeSpec();
    column.typeName = declared.name;
    column.arg1 = declared.arg1;
    column.arg2 = declared.arg2;
    if (const auto type = SqlType::fromName(declared.name, declared.arg1, declared.arg2))
        m_columnTypes.insert(column.name.toLower(), *type);
    QString constraintName; // names the column constraint that follows
    while (parseColumnConstraint(statement, column, constraintName)) {
    }
    return column;
}

// One of a column's constraints and properties; false when none follows.
bool Translator::parseColumnConstraint(Statement& statement, ColumnDefinition& column,
                                       QString& constraintName) {
    if (takeWord("identity")) {
        parseIdentity(column);
    } else if (takeWord("not")) {
        if (takeWord("for")) {
            expectWord("replication");
        } else {
            expectWord("null");
            column.nullable = false;
        }
    } else if (takeWord("null")) {
        column.nullable = true;
    } else if (takeWord("constraint")) {
        constraintName = parseNamePart();
    } else if (takeWord("primary")) {
        expectWord("key");
        skipIndexOptions();
        column.primaryKey = true;
        column.nullable = false;
        statement.primaryKey = QStringList{column.name};
        statement.constraintName = std::exchange(constraintName, {});
    } else if (takeWord("unique")) {
        skipIndexOptions();
        column.unique = true;
        statement.uniqueKeys.append(QStringList{column.name});
    } else if (takeWord("default")) {
        column.defaultSql = parseUnary().sql;
    } else if (takeWord("collate")) {
        column.caseSensitive = parseNamePart().contains(QLatin1String("_CS"), Qt::CaseInsensitive);
    } else if (takeWord("generated")) {
        column.generatedAlways = parseGeneratedAlways();
    } else if (takeWord("hidden")) {
        column.hidden = true;
    } else if (takeWord("rowguidcol")) {
    } else if (peek().isWord("references") || peek().isWord("foreign")) {
        if (takeWord("foreign"))
            expectWord("key");
        statement.foreignKeys.append(
            parseReferences(std::exchange(constraintName, {}), {column.name}));
    } else if (takeWord("check")) {
        skipParenthesised();
    } else {
        return false;
    }
    return true;
}

// Rule: name AS expression [PERSISTED [NOT NULL]], then only key, reference
// and check constraints. PERSISTED came with 2005.
void Translator::parseComputedColumn(Statement& statement, ColumnDefinition& column) {
    const Expr e = parseExpr();
    column.computedSql = e.sql;
    column.computedType = e.type;
    column.persisted = m_context.majorVersion >= 9 && takeWord("persisted");
    const auto constraintFollows = [&] {
        const Token& next = peek();
        return next.isWord("constraint") || next.isWord("primary") || next.isWord("unique") ||
               next.isWord("references") || next.isWord("foreign") || next.isWord("check") ||
               (column.persisted && next.isWord("not") && peek(1).isWord("null"));
    };
    QString constraintName;
    while (constraintFollows())
        parseColumnConstraint(statement, column, constraintName);
}

// IDENTITY [(seed, increment)].
void Translator::parseIdentity(ColumnDefinition& column) {
    column.identity = true;
    column.nullable = false;
    if (takeSymbol("(")) {
        const bool negativeSeed = takeSymbol("-");
        column.seed = (negativeSeed ? -1 : 1) * take().text.toLongLong();
        expectSymbol(",");
        const bool negativeStep = takeSymbol("-");
        column.increment = (negativeStep ? -1 : 1) * take().text.toLongLong();
        expectSymbol(")");
    }
}

// Rule: GENERATED ALWAYS AS ROW START | ROW END | TRANSACTION_ID START | END
// | SEQUENCE_NUMBER START | END, as sys.columns.generated_always_type numbers
// them.
int Translator::parseGeneratedAlways() {
    expectWord("always");
    expectWord("as");
    int first = 0;
    if (takeWord("row"))
        first = 1;
    else if (takeWord("transaction_id"))
        first = 5;
    else if (takeWord("sequence_number"))
        first = 7;
    else
        syntaxError();
    if (takeWord("start"))
        return first;
    expectWord("end");
    return first + 1;
}

// Rule: WITH (SYSTEM_VERSIONING = ON [(HISTORY_TABLE = name, ...)], LEDGER =
// ON [(APPEND_ONLY = ON | OFF, ...)], MEMORY_OPTIMIZED = ON, other options
// such as DURABILITY read and ignored).
void Translator::parseTableOptions(Statement& statement) {
    expectSymbol("(");
    do {
        const QString option = take().text.toLower();
        expectSymbol("=");
        const bool on = take().text.compare(QLatin1String("on"), Qt::CaseInsensitive) == 0;
        if (option == QLatin1String("system_versioning"))
            statement.systemVersioning = on;
        else if (option == QLatin1String("ledger") && on)
            statement.ledgerType = 3;
        else if (option == QLatin1String("memory_optimized"))
            statement.memoryOptimized = on;
        if (!takeSymbol("("))
            continue;
        do {
            const QString inner = take().text.toLower();
            expectSymbol("=");
            if (inner == QLatin1String("history_table")) {
                statement.historyTable = parseName();
                continue;
            }
            const QString value = take().text.toLower();
            if (inner == QLatin1String("append_only") && value == QLatin1String("on"))
                statement.ledgerType = 2;
            // HISTORY_RETENTION_PERIOD = 6 MONTHS and the like.
            while (!peek().isSymbol(",") && !peek().isSymbol(")") && peek().kind != Token::End)
                take();
        } while (takeSymbol(","));
        expectSymbol(")");
    } while (takeSymbol(","));
    expectSymbol(")");
}

// Rule: CREATE TYPE name FROM base type [NULL | NOT NULL].
Statement Translator::parseCreateType() {
    expectWord("type");
    Statement statement;
    statement.kind = Statement::Kind::CreateType;
    statement.name = parseName();
    expectWord("from");
    const TypeSpec declared = parseTypeSpec();
    ColumnDefinition base;
    base.typeName = declared.name;
    base.arg1 = declared.arg1;
    base.arg2 = declared.arg2;
    if (takeWord("not")) {
        expectWord("null");
        base.nullable = false;
    } else {
        takeWord("null");
    }
    statement.columns.append(base);
    return statement;
}

// Rule: CREATE and ALTER of PROCEDURE, VIEW, TRIGGER and FUNCTION keep the
// batch text as the definition (ALTER stored as CREATE, as SQL Server does)
// and hide it under WITH ENCRYPTION. They must stand alone in their batch.
Statement Translator::parseModule(bool isAlter, const Token& verb) {
    if (m_statementStart != 0) {
        const QString kind = peek().text.toUpper();
        throw SqlError{111,
                       QStringLiteral("'%1 %2' must be the first statement in a query batch.")
                           .arg(isAlter ? QStringLiteral("ALTER") : QStringLiteral("CREATE"),
                                kind == QLatin1String("PROC") ? QStringLiteral("PROCEDURE") : kind),
                       15, 1, true};
    }
    Statement statement;
    statement.kind = Statement::Kind::CreateModule;
    statement.isAlter = isAlter;
    const QString kind = take().text.toLower();
    statement.name = parseName();
    parseModuleKind(statement, kind);
    parseModuleHeader(statement);
    if (!takeWord("as"))
        syntaxError();
    refuseSecondModule();
    if (statement.moduleType == QLatin1String("V")) {
        const int bodyStart = m_pos;
        try {
            statement.viewSql = parseQuery().sql;
        } catch (const SqlError&) {
            statement.viewSql.clear();
        }
        if (!atEnd() && statement.viewSql.isEmpty())
            m_pos = bodyStart;
    }
    QString definition = m_batch;
    if (isAlter)
        definition.replace(verb.begin, verb.end - verb.begin, QStringLiteral("CREATE"));
    statement.definition = definition;
    m_pos = int(m_tokens.size()) - 1;
    return statement;
}

// The module's type from the word after CREATE or ALTER, with what that
// kind adds to its name (a procedure's number, a trigger's table).
void Translator::parseModuleKind(Statement& statement, const QString& kind) {
    if (kind.startsWith(QLatin1String("proc"))) {
        statement.moduleType = QStringLiteral("P");
        if (takeSymbol(";")) {
            if (peek().kind != Token::Integer)
                syntaxError();
            statement.procedureNumber = take().text.toInt();
        }
    } else if (kind == QLatin1String("view")) {
        statement.moduleType = QStringLiteral("V");
    } else if (kind == QLatin1String("trigger")) {
        statement.moduleType = QStringLiteral("TR");
        expectWord("on");
        statement.parentName = parseName();
    } else {
        statement.moduleType = QStringLiteral("FN");
    }
}

// The header runs to the first AS outside parentheses: WITH ENCRYPTION, and
// a function's RETURNS tells its type.
void Translator::parseModuleHeader(Statement& statement) {
    // The header runs to the first AS outside parentheses.
    int depth = 0;
    while (peek().kind != Token::End) {
        const Token& t = peek();
        if (t.isSymbol("("))
            ++depth;
        else if (t.isSymbol(")"))
            --depth;
        else if (depth == 0 && t.isWord("as") && peek(-1).kind != Token::Variable)
            break;
        else if (depth == 0 && t.isWord("encryption") &&
                 (peek(-1).isWord("with") || peek(-1).isSymbol(",")))
            statement.encrypted = true;
        else if (depth == 0 && t.isWord("returns") && statement.moduleType == QLatin1String("FN")) {
            if (peek(1).isWord("table"))
                statement.moduleType = QStringLiteral("IF");
            else if (peek(1).kind == Token::Variable)
                statement.moduleType = QStringLiteral("TF");
        }
        take();
    }
}

// The body runs to the end of the batch, so a second module's CREATE (a
// numbered procedure's next number, say) is not the first statement.
void Translator::refuseSecondModule() const {
    for (int at = m_pos; m_tokens[at].kind != Token::End; ++at) {
        const Token& t = m_tokens[at];
        const int last = int(m_tokens.size()) - 1;
        const Token& next = m_tokens[qMin(at + 1, last)];
        const Token& named = next.isWord("or") ? m_tokens[qMin(at + 3, last)] : next;
        if ((t.isWord("create") || t.isWord("alter")) &&
            (named.isWord("proc") || named.isWord("procedure") || named.isWord("view") ||
             named.isWord("trigger") || named.isWord("function")))
            throw SqlError{111,
                           QStringLiteral("'%1 %2' must be the first statement in a query batch.")
                               .arg(t.text.toUpper(), named.isWord("proc")
                                                          ? QStringLiteral("PROCEDURE")
                                                          : named.text.toUpper()),
                           15, 1, true};
    }
}

// Rule: EXEC sp_rename 'old', 'new' [, 'OBJECT'], the parameters by position
// or as @objname, @newname and @objtype. Only objects are renamed; their
// stored text keeps the old name, as on the real server.
Statement Translator::parseRename() {
    if (!peek().isWord("sp_rename"))
        take();
    take();
    QStringList arguments;
    do {
        if (peek().kind == Token::Variable) {
            take();
            expectSymbol("=");
        }
        if (peek().kind != Token::String && peek().kind != Token::UnicodeString)
            syntaxError();
        arguments.append(take().text);
    } while (takeSymbol(","));
    if (arguments.size() == 3 &&
        arguments[2].compare(QLatin1String("object"), Qt::CaseInsensitive) != 0)
        return unsupportedRest(QStringLiteral("sp_rename of a ") + arguments[2].toUpper());
    if (arguments.size() < 2 || arguments.size() > 3)
        return unsupportedRest(QStringLiteral("sp_rename with these parameters"));
    Statement statement;
    statement.kind = Statement::Kind::Rename;
    const LexResult old = lex(arguments[0]);
    QStringList parts;
    for (const Token& t : old.tokens)
        if (t.isName())
            parts.append(t.text);
    statement.names.append(parts);
    statement.value = arguments[1];
    return statement;
}

// Rule: ALTER DATABASE name SET ALLOW_SNAPSHOT_ISOLATION ON | OFF.
Statement Translator::parseAlterDatabase() {
    expectWord("database");
    Statement statement;
    statement.kind = Statement::Kind::AlterDatabase;
    statement.name = QStringList{parseNamePart()};
    expectWord("set");
    if (!takeWord("allow_snapshot_isolation"))
        return unsupportedRest(QStringLiteral("ALTER DATABASE SET ") + peek().text.toUpper());
    statement.option = QStringLiteral("allow_snapshot_isolation");
    if (!peek().isWord("on") && !peek().isWord("off"))
        syntaxError();
    statement.value = take().text.toLower();
    return statement;
}

Statement Translator::parseDrop() {
    expectWord("drop");
    Statement statement;
    statement.kind = Statement::Kind::Drop;
    if (!peek().isName())
        syntaxError();
    statement.dropType = take().text.toLower();
    if (statement.dropType == QLatin1String("procedure"))
        statement.dropType = QStringLiteral("proc");
    static const QStringList kinds{"table",    "proc", "view",  "trigger",
                                   "function", "type", "schema"};
    if (!kinds.contains(statement.dropType))
        return unsupportedRest(QStringLiteral("DROP ") + statement.dropType.toUpper());
    do
        statement.names.append(parseName());
    while (takeSymbol(","));
    return statement;
}

} // namespace quarvex::standin
