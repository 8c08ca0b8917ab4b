#include "standin/sql/Translator.h"

#include "standin/store/Catalogue.h"
#include "standin/store/Sqlite.h"
#include "standin/values/ExactDecimal.h"

#include <QSet>
#include <utility>

namespace quarvex::standin {

namespace {

const QSet<QString>& reservedWords() {
    static const QSet<QString> words = [] {
        QSet<QString> set;
        for (const char* w :
             {"select",     "from",       "where",      "group",    "order",       "having",
              "union",      "except",     "intersect",  "all",      "join",        "inner",
              "left",       "right",      "full",       "outer",    "cross",       "on",
              "and",        "or",         "not",        "insert",   "update",      "delete",
              "set",        "print",      "create",     "alter",    "drop",        "truncate",
              "dbcc",       "use",        "declare",    "if",       "else",        "begin",
              "end",        "exec",       "execute",    "into",     "values",      "as",
              "when",       "then",       "case",       "is",       "null",        "like",
              "in",         "between",    "exists",     "with",     "return",      "commit",
              "rollback",   "while",      "option",     "for",      "by",          "distinct",
              "top",        "go",         "escape",     "default",  "table",       "procedure",
              "proc",       "view",       "trigger",    "function", "grant",       "revoke",
              "deny",       "save",       "waitfor",    "goto",     "raiserror",   "fetch",
              "open",       "close",      "deallocate", "cursor",   "primary",     "key",
              "constraint", "references", "foreign",    "check",    "unique",      "identity",
              "collate",    "asc",        "desc",       "nocheck",  "transaction", "tran"})
            set.insert(QString::fromLatin1(w));
        return set;
    }();
    return words;
}

} // namespace

Translator::Translator(const QString& batch, const QList<Token>& tokens, Context context)
    : m_batch(batch)
    , m_tokens(tokens)
    , m_context(context) {}

const Token& Translator::peek(int ahead) const {
    const int k = qMin(m_pos + ahead, int(m_tokens.size()) - 1);
    return m_tokens[k];
}

const Token& Translator::take() {
    const Token& token = m_tokens[m_pos];
    if (m_pos < m_tokens.size() - 1)
        ++m_pos;
    return token;
}

bool Translator::takeWord(const char* word) {
    if (!peek().isWord(word))
        return false;
    take();
    return true;
}

bool Translator::takeSymbol(const char* symbol) {
    if (!peek().isSymbol(symbol))
        return false;
    take();
    return true;
}

void Translator::expectWord(const char* word) {
    if (!takeWord(word))
        syntaxError();
}

void Translator::expectSymbol(const char* symbol) {
    if (!takeSymbol(symbol))
        syntaxError();
}

void Translator::syntaxError() const {
    const Token& token = peek().kind == Token::End && m_pos > 0 ? m_tokens[m_pos - 1] : peek();
    const QString text = m_batch.mid(token.begin, token.end - token.begin);
    throw syntaxErrorNear(text, isReserved(token));
}

bool Translator::isReserved(const Token& token) const {
    return token.kind == Token::Word && reservedWords().contains(token.text.toLower());
}

int Translator::lineOf(const Token& token) const {
    return token.line;
}

bool Translator::atEnd() {
    while (takeSymbol(";")) {
    }
    return peek().kind == Token::End;
}

// Rule: multi-part names. [a]]b], "x", bare words; db.schema.name with empty
// parts allowed as in db..name.
QStringList Translator::parseName() {
    QStringList parts;
    parts.append(parseNamePart());
    while (peek().isSymbol(".")) {
        take();
        if (peek().isSymbol(".")) {
            parts.append(QString());
            continue;
        }
        parts.append(parseNamePart());
    }
    return sessionName(parts, m_context.spid);
}

QString Translator::parseNamePart() {
    if (!peek().isName())
        syntaxError();
    return take().text;
}

Translator::TypeSpec Translator::parseTypeSpec() {
    TypeSpec declared;
    QStringList parts = parseName();
    declared.name = parts.last();
    if (peek().isWord("varying")) { // char varying
        take();
        declared.name = QStringLiteral("varchar");
    }
    if (takeSymbol("(")) {
        if (takeWord("max")) {
            declared.arg1 = -1;
        } else if (peek().kind == Token::Integer) {
            declared.arg1 = take().text.toInt();
        } else {
            syntaxError();
        }
        if (takeSymbol(",")) {
            if (peek().kind != Token::Integer)
                syntaxError();
            declared.arg2 = take().text.toInt();
        }
        expectSymbol(")");
    }
    return declared;
}

Statement Translator::next() {
    while (takeSymbol(";")) {
    }
    m_statementStart = m_pos;
    m_tablesRead.clear();
    m_tablesLocked.clear();
    const Token& first = peek();
    Statement statement;
    if (first.isWord("select") || first.isSymbol("("))
        statement = parseSelectStatement();
    else if (first.isWord("insert"))
        statement = parseInsert();
    else if (first.isWord("update"))
        statement = parseUpdate();
    else if (first.isWord("delete"))
        statement = parseDelete();
    else if (first.isWord("truncate"))
        statement = parseTruncate();
    else if (first.isWord("set"))
        statement = parseSet();
    else if (first.isWord("print"))
        statement = parsePrint();
    else if (first.isWord("dbcc"))
        statement = parseDbcc();
    else if (first.isWord("use"))
        statement = parseUse();
    else if (first.isWord("create") || first.isWord("alter")) {
        const bool isAlter = first.isWord("alter");
        take();
        statement = parseCreate(isAlter);
    } else if (first.isWord("drop"))
        statement = parseDrop();
    else if (((first.isWord("exec") || first.isWord("execute")) && peek(1).isWord("sp_rename")) ||
             (first.isWord("sp_rename") && m_statementStart == 0))
        statement = parseRename();
    else if (first.isWord("if"))
        statement = parseIf();
    else if (first.isWord("begin"))
        statement = parseBegin();
    else if (first.isWord("end")) {
        take();
        statement.kind = Statement::Kind::BlockEnd;
    } else if (first.isWord("commit") || first.isWord("rollback"))
        statement = parseTransactionEnd();
    else if (first.isWord("return")) {
        take();
        statement.kind = Statement::Kind::Return;
    } else if (first.isWord("raiserror"))
        statement = parseRaiserror();
    else if (first.isWord("declare"))
        statement = parseDeclare();
    else if (first.kind == Token::Word &&
             QStringList{"exec", "execute", "while", "grant", "with", "waitfor", "save"}.contains(
                 first.text.toLower()))
        statement = unsupportedRest(first.text.toUpper());
    else
        syntaxError();
    statement.line = lineOf(first);
    statement.tablesRead = m_tablesRead;
    statement.tablesLocked = m_tablesLocked;
    return statement;
}

Statement Translator::unsupportedRest(const QString& what) {
    Statement statement;
    statement.kind = Statement::Kind::Unsupported;
    statement.what = what;
    m_pos = int(m_tokens.size()) - 1;
    return statement;
}

// ---- queries ---------------------------------------------------------------

Statement Translator::parseSelectStatement() {
    Statement statement;
    m_intoTable.clear();
    m_assigned.clear();
    m_retrieved = 0;
    m_topSelect = true;
    const Query query = parseQuery();
    statement.kind = Statement::Kind::Query;
    statement.sql = query.sql;
    statement.hints = query.hints;
    if (!m_assigned.isEmpty()) {
        if (m_retrieved > 0 || !m_intoTable.isEmpty())
            throw SqlError{141,
                           QStringLiteral("A SELECT statement that assigns a value to a variable "
                                          "must not be combined with data-retrieval operations."),
                           15, 1, true};
        statement.kind = Statement::Kind::Assign;
        statement.verb = QStringLiteral("select");
        statement.names.append(std::exchange(m_assigned, {}));
        return statement;
    }
    if (!m_intoTable.isEmpty()) {
        statement.kind = Statement::Kind::SelectInto;
        statement.name = std::exchange(m_intoTable, {});
    }
    return statement;
}

// Rule: a query is select cores joined by UNION [ALL], EXCEPT and INTERSECT,
// then ORDER BY (positions, names or expressions), with TOP as LIMIT.
Translator::Query Translator::parseQuery() {
    QString limit;
    Query query;
    if (takeSymbol("(")) {
        query = parseQuery();
        query.sql = QStringLiteral("select * from (") + query.sql + u')';
        expectSymbol(")");
    } else {
        query = parseSelectCore(&limit);
    }
    bool compound = false;
    while (peek().isWord("union") || peek().isWord("except") || peek().isWord("intersect")) {
        QString op = take().text.toLower();
        if (op == QLatin1String("union") && takeWord("all"))
            op += QStringLiteral(" all");
        if (!limit.isEmpty()) {
            query.sql = QStringLiteral("select * from (%1 limit %2)").arg(query.sql, limit);
            limit.clear();
        }
        QString nextLimit;
        Query right = parseSelectCore(&nextLimit);
        if (!nextLimit.isEmpty())
            right.sql = QStringLiteral("select * from (%1 limit %2)").arg(right.sql, nextLimit);
        query.sql += u' ' + op + u' ' + right.sql;
        compound = true;
    }
    if (takeWord("order")) {
        expectWord("by");
        QStringList terms;
        do {
            QString term;
            if (peek().kind == Token::Integer && !compound) {
                term = take().text;
            } else if (peek().kind == Token::Integer) {
                term = take().text;
            } else {
                term = parseExpr().sql;
            }
            if (takeWord("desc"))
                term += QStringLiteral(" desc");
            else
                takeWord("asc");
            terms.append(term);
        } while (takeSymbol(","));
        query.sql += QStringLiteral(" order by ") + terms.join(QStringLiteral(", "));
    }
    if (!limit.isEmpty())
        query.sql += QStringLiteral(" limit ") + limit;
    return query;
}

Translator::Query Translator::parseSelectCore(QString* limit) {
    expectWord("select");
    // Only the statement's first select list may assign; the subqueries in
    // it and every later select are read as queries.
    const bool topLevel = std::exchange(m_topSelect, false);
    Query query;
    const QString head = parseSelectHead(limit);
    QStringList items;
    bool star = false;
    do
        parseSelectItem(items, query, star, topLevel);
    while (takeSymbol(","));
    if (star)
        query.hints.clear();
    if (takeWord("into")) {
        if (!m_intoTable.isEmpty())
            syntaxError();
        m_intoTable = parseName();
    }
    query.sql = head + items.join(QStringLiteral(", ")) + parseSelectClauses();
    return query;
}

// "select" with DISTINCT or ALL; TOP n goes to limit.
QString Translator::parseSelectHead(QString* limit) {
    QString head = QStringLiteral("select ");
    if (takeWord("distinct"))
        head += QStringLiteral("distinct ");
    else
        takeWord("all");
    if (takeWord("top")) {
        const bool paren = takeSymbol("(");
        if (peek().kind != Token::Integer)
            syntaxError();
        *limit = take().text;
        if (paren)
            expectSymbol(")");
        if (peek().isWord("percent"))
            throw unsupported(QStringLiteral("TOP ... PERCENT"));
    }
    return head;
}

// One item of the select list: *, table.*, alias = expression, @variable =
// expression, or an expression with or without its alias. Its type hint
// goes to query.
void Translator::parseSelectItem(QStringList& items, Query& query, bool& star, bool topLevel) {
    const Token& t = peek();
    if (topLevel && t.kind == Token::Variable && !t.text.startsWith(QLatin1String("@@")) &&
        peek(1).isSymbol("=")) {
        take();
        take();
        localVariable(t);
        items.append(assignedValue(t.text.toLower(), parseExpr()));
        m_assigned.append(t.text.toLower());
        query.hints.append(m_context.variables->value(t.text.toLower()).type);
        return;
    }
    if (topLevel)
        ++m_retrieved;
    if (t.isSymbol("*")) {
        take();
        items.append(QStringLiteral("*"));
        star = true;
        return;
    }
    if (t.isName() && peek(1).isSymbol(".") && peek(2).isSymbol("*")) {
        const QString table = take().text;
        take();
        take();
        items.append(quoteName(table) + QStringLiteral(".*"));
        star = true;
        return;
    }
    // Rule: "alias = expression" in a select list names the column.
    if ((t.isName() && !isReserved(t)) || t.kind == Token::String) {
        if (peek(1).isSymbol("=")) {
            const QString alias = take().text;
            take();
            const Expr e = parseExpr();
            items.append(e.sql + QStringLiteral(" as ") + quoteName(alias));
            query.hints.append(e.type);
            return;
        }
    }
    const int exprStart = m_pos;
    const Expr e = parseExpr();
    const bool plainColumn = m_pos - exprStart == 1
                                 ? m_tokens[exprStart].isName()
                                 : (m_pos - exprStart >= 3 && m_tokens[m_pos - 1].isName() &&
                                    m_tokens[m_pos - 2].isSymbol("."));
    QString alias;
    bool hasAlias = false;
    if (takeWord("as")) {
        if (!peek().isName() && peek().kind != Token::String)
            syntaxError();
        alias = take().text;
        hasAlias = true;
    } else if ((peek().isName() && !isReserved(peek())) || peek().kind == Token::String) {
        alias = take().text;
        hasAlias = true;
    }
    if (hasAlias)
        items.append(e.sql + QStringLiteral(" as ") + quoteName(alias));
    else if (plainColumn)
        items.append(e.sql);
    else
        items.append(e.sql + QStringLiteral(" as \"\"")); // SQL Server leaves it unnamed
    query.hints.append(e.type);
}

// FROM, WHERE, GROUP BY and HAVING, as far as they are given.
QString Translator::parseSelectClauses() {
    QString sql;
    if (takeWord("from"))
        sql += QStringLiteral(" from ") + parseFromClause();
    if (takeWord("where"))
        sql += QStringLiteral(" where ") + parseExpr().sql;
    if (takeWord("group")) {
        expectWord("by");
        QStringList terms;
        do
            terms.append(parseExpr().sql);
        while (takeSymbol(","));
        sql += QStringLiteral(" group by ") + terms.join(QStringLiteral(", "));
    }
    if (takeWord("having"))
        sql += QStringLiteral(" having ") + parseExpr().sql;
    return sql;
}

// Rule: FROM with comma lists and INNER, LEFT, RIGHT, FULL and CROSS joins.
QString Translator::parseFromClause() {
    QString sql = parseTableSource();
    for (;;) {
        if (takeSymbol(",")) {
            sql += QStringLiteral(", ") + parseTableSource();
            continue;
        }
        QString join;
        if (takeWord("cross")) {
            expectWord("join");
            sql += QStringLiteral(" cross join ") + parseTableSource();
            continue;
        }
        if (takeWord("inner"))
            join = QStringLiteral("join");
        else if (peek().isWord("left") || peek().isWord("right") || peek().isWord("full")) {
            join = take().text.toLower() + QStringLiteral(" join");
            takeWord("outer");
        } else if (peek().isWord("join"))
            join = QStringLiteral("join");
        else
            break;
        expectWord("join");
        sql += u' ' + join + u' ' + parseTableSource();
        expectWord("on");
        sql += QStringLiteral(" on ") + parseExpr().sql;
    }
    return sql;
}

QString Translator::parseTableSource() {
    QString sql;
    QString alias;
    int tableId = 0; // a user table's, for its hints
    if (takeSymbol("(")) {
        sql = u'(' + parseQuery().sql + u')';
        expectSymbol(")");
    } else {
        const QStringList parts = parseName();
        const qsizetype readBefore = m_tablesRead.size();
        sql = resolveTable(parts);
        tableId = m_tablesRead.size() > readBefore ? m_tablesRead.last() : 0;
        alias = parts.last(); // so that Orders.OrderId still finds its table
    }
    if (takeWord("as")) {
        alias = parseNamePart();
    } else if (peek().isName() && !isReserved(peek())) {
        alias = take().text;
    }
    if (alias.isEmpty())
        syntaxError(); // a derived table needs a name
    parseTableHints(tableId);
    return sql + QStringLiteral(" as ") + quoteName(alias);
}

// Rule: WITH (hints) after a table. TABLOCK and HOLDLOCK take a shared
// lock on the table; the others are accepted and ignored.
void Translator::parseTableHints(int tableId) {
    if (!peek().isWord("with") || !peek(1).isSymbol("("))
        return;
    take();
    take();
    bool locks = false;
    while (!peek().isSymbol(")") && peek().kind != Token::End) {
        const Token& hint = take();
        locks = locks || hint.isWord("tablock") || hint.isWord("holdlock");
    }
    expectSymbol(")");
    if (locks && tableId != 0)
        m_tablesLocked.append(tableId);
}

QString Translator::resolveTable(const QStringList& parts) {
    if (!m_context.catalogue)
        return quoteName(parts.join(u'.'));
    const auto object = m_context.catalogue->find(parts);
    QStringList shown = parts;
    shown.removeAll(QString());
    if (!object || object->sqliteName.isEmpty()) {
        if (object && object->type == QLatin1String("V"))
            throw unsupported(
                QStringLiteral("selecting from view '%1', whose text it could not translate")
                    .arg(shown.join(u'.')));
        throw invalidObjectName(shown.join(u'.'));
    }
    if (object->type == QLatin1String("U"))
        m_tablesRead.append(object->objectId);
    return quoteName(object->sqliteName);
}

// ---- expressions -----------------------------------------------------------

} // namespace quarvex::standin
