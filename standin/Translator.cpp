#include "Translator.h"

#include "Catalogue.h"
#include "ExactDecimal.h"
#include "Sqlite.h"

#include <QSet>

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

SqlType varcharOf(int length, bool unicode) {
    const int limit = unicode ? 4000 : 8000;
    return SqlType{unicode ? BaseType::NVarChar : BaseType::VarChar,
                   length > limit ? -1 : qMax(length, 1), 0, 0};
}

TypeHint intType() {
    return SqlType{BaseType::Int, 0, 0, 0};
}

} // namespace

int addOperandFlags(const TypeHint& type) {
    if (!type)
        return AddUnknown;
    if (type->isText())
        return (type->isUnicode() ? AddUnicode : AddString) |
               (type->isMax() || type->base == BaseType::Text || type->base == BaseType::NText
                    ? AddMax
                    : 0);
    if (type->isBinary())
        return AddBinary | (type->isMax() || type->base == BaseType::Image ? AddMax : 0);
    if (type->isDateTime() || type->base == BaseType::UniqueIdentifier)
        return AddUnknown;
    return AddNumber;
}

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
    return parts;
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
    else if (first.kind == Token::Word &&
             QStringList{"exec", "execute", "declare", "if", "while", "begin", "commit", "rollback",
                         "grant", "raiserror", "with", "waitfor", "save"}
                 .contains(first.text.toLower()))
        statement = unsupportedRest(first.text.toUpper());
    else
        syntaxError();
    statement.line = lineOf(first);
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
    const Query query = parseQuery();
    statement.kind = Statement::Kind::Query;
    statement.sql = query.sql;
    statement.hints = query.hints;
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
    Query query;
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
    QStringList items;
    bool star = false;
    do {
        const Token& t = peek();
        if (t.isSymbol("*")) {
            take();
            items.append(QStringLiteral("*"));
            star = true;
            continue;
        }
        if (t.isName() && peek(1).isSymbol(".") && peek(2).isSymbol("*")) {
            const QString table = take().text;
            take();
            take();
            items.append(quoteName(table) + QStringLiteral(".*"));
            star = true;
            continue;
        }
        // Rule: "alias = expression" in a select list names the column.
        if ((t.isName() && !isReserved(t)) || t.kind == Token::String) {
            if (peek(1).isSymbol("=")) {
                const QString alias = take().text;
                take();
                const Expr e = parseExpr();
                items.append(e.sql + QStringLiteral(" as ") + quoteName(alias));
                query.hints.append(e.type);
                continue;
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
    } while (takeSymbol(","));
    if (star)
        query.hints.clear();
    if (peek().isWord("into"))
        throw unsupported(QStringLiteral("SELECT ... INTO"));
    query.sql = head + items.join(QStringLiteral(", "));
    if (takeWord("from"))
        query.sql += QStringLiteral(" from ") + parseFromClause();
    if (takeWord("where"))
        query.sql += QStringLiteral(" where ") + parseExpr().sql;
    if (takeWord("group")) {
        expectWord("by");
        QStringList terms;
        do
            terms.append(parseExpr().sql);
        while (takeSymbol(","));
        query.sql += QStringLiteral(" group by ") + terms.join(QStringLiteral(", "));
    }
    if (takeWord("having"))
        query.sql += QStringLiteral(" having ") + parseExpr().sql;
    return query;
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
    if (takeSymbol("(")) {
        sql = u'(' + parseQuery().sql + u')';
        expectSymbol(")");
    } else {
        const QStringList parts = parseName();
        sql = resolveTable(parts);
        alias = parts.last(); // so that Orders.OrderId still finds its table
    }
    if (takeWord("as")) {
        alias = parseNamePart();
    } else if (peek().isName() && !isReserved(peek())) {
        alias = take().text;
    }
    if (alias.isEmpty())
        syntaxError(); // a derived table needs a name
    // Table hints are accepted and ignored: there is no locking to steer.
    if (peek().isWord("with") && peek(1).isSymbol("(")) {
        take();
        take();
        while (!peek().isSymbol(")") && peek().kind != Token::End)
            take();
        expectSymbol(")");
    }
    return sql + QStringLiteral(" as ") + quoteName(alias);
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
    return quoteName(object->sqliteName);
}

// ---- expressions -----------------------------------------------------------

Translator::Expr Translator::parseExpr() {
    Expr left = parseAnd();
    while (takeWord("or")) {
        const Expr right = parseAnd();
        left = {left.sql + QStringLiteral(" or ") + right.sql, intType()};
    }
    return left;
}

Translator::Expr Translator::parseAnd() {
    Expr left = parseNot();
    while (takeWord("and")) {
        const Expr right = parseNot();
        left = {left.sql + QStringLiteral(" and ") + right.sql, intType()};
    }
    return left;
}

Translator::Expr Translator::parseNot() {
    if (takeWord("not")) {
        const Expr e = parseNot();
        return {QStringLiteral("not ") + e.sql, intType()};
    }
    return parsePredicate();
}

// Rule: comparisons follow SQL Server's default collation (case-insensitive,
// trailing blanks ignored), so 'U ' = 'u'.
Translator::Expr Translator::parsePredicate() {
    if (takeWord("exists")) {
        expectSymbol("(");
        const Query q = parseQuery();
        expectSymbol(")");
        return {QStringLiteral("exists (") + q.sql + u')', intType()};
    }
    const Expr left = parseAdditive();
    const QString l = u'(' + left.sql + u')';
    static const QHash<QString, QString> comparisons = {
        {QStringLiteral("="), QStringLiteral("=")},   {QStringLiteral("<>"), QStringLiteral("<>")},
        {QStringLiteral("!="), QStringLiteral("<>")}, {QStringLiteral("<"), QStringLiteral("<")},
        {QStringLiteral(">"), QStringLiteral(">")},   {QStringLiteral("<="), QStringLiteral("<=")},
        {QStringLiteral(">="), QStringLiteral(">=")}, {QStringLiteral("!<"), QStringLiteral(">=")},
        {QStringLiteral("!>"), QStringLiteral("<=")}};
    if (peek().kind == Token::Symbol && comparisons.contains(peek().text)) {
        const QString op = comparisons.value(take().text);
        const Expr right = parseAdditive();
        return {l + u' ' + op + QStringLiteral(" (") + right.sql + QStringLiteral(") collate tsql"),
                intType()};
    }
    const bool negated = peek().isWord("not") && (peek(1).isWord("like") || peek(1).isWord("in") ||
                                                  peek(1).isWord("between"));
    if (negated)
        take();
    const QString notText = negated ? QStringLiteral("not ") : QString();
    // Rule: LIKE with %, _, [set] and [^set], case-insensitive.
    if (takeWord("like")) {
        const Expr pattern = parseAdditive();
        QString sql = QStringLiteral("tsql_like(") + left.sql + QStringLiteral(", ") + pattern.sql;
        if (takeWord("escape"))
            sql += QStringLiteral(", ") + parseAdditive().sql;
        return {notText + sql + u')', intType()};
    }
    if (takeWord("in")) {
        expectSymbol("(");
        QString inner;
        if (peek().isWord("select")) {
            inner = parseQuery().sql;
        } else {
            QStringList values;
            do
                values.append(parseExpr().sql);
            while (takeSymbol(","));
            inner = values.join(QStringLiteral(", "));
        }
        expectSymbol(")");
        return {l + QStringLiteral(" collate tsql ") + notText + QStringLiteral("in (") + inner +
                    u')',
                intType()};
    }
    if (takeWord("between")) {
        const Expr low = parseAdditive();
        expectWord("and");
        const Expr high = parseAdditive();
        return {l + QStringLiteral(" collate tsql ") + notText + QStringLiteral("between ") +
                    low.sql + QStringLiteral(" and ") + high.sql,
                intType()};
    }
    if (negated)
        syntaxError();
    if (takeWord("is")) {
        const bool isNot = takeWord("not");
        expectWord("null");
        return {l + (isNot ? QStringLiteral(" is not null") : QStringLiteral(" is null")),
                intType()};
    }
    return left;
}

// Rule: + concatenates strings (cut at 8000 bytes unless an operand is a max
// type) and adds numbers; tsql_add decides at run time where the types are
// not known here.
Translator::Expr Translator::parseAdditive() {
    Expr left = parseMultiplicative();
    for (;;) {
        if (takeSymbol("+")) {
            const Expr right = parseMultiplicative();
            const int lf = addOperandFlags(left.type);
            const int rf = addOperandFlags(right.type);
            TypeHint type;
            const int lk = lf & 7;
            const int rk = rf & 7;
            if ((lk == AddString || lk == AddUnicode) && (rk == AddString || rk == AddUnicode)) {
                const bool unicode = lk == AddUnicode || rk == AddUnicode;
                const bool max = (lf | rf) & AddMax;
                type = max ? varcharOf(-1, unicode)
                           : varcharOf(left.type->length + right.type->length, unicode);
                if (!max && type->isMax())
                    type->length = unicode ? 4000 : 8000;
            } else if (lk == AddNumber && rk == AddNumber) {
                type = left.type;
            } else if (lk == AddNumber || rk == AddNumber) {
                type = lk == AddNumber ? left.type : right.type;
            }
            left = {
                QStringLiteral("tsql_add(%1, %2, %3, %4)").arg(left.sql, right.sql).arg(lf).arg(rf),
                type};
        } else if (peek().isSymbol("-") || peek().isSymbol("&") || peek().isSymbol("|") ||
                   peek().isSymbol("^")) {
            const QString op = take().text;
            const Expr right = parseMultiplicative();
            if (op == QLatin1String("^")) {
                left = {QStringLiteral("((%1) | (%2)) - ((%1) & (%2))").arg(left.sql, right.sql),
                        left.type};
            } else {
                left = {u'(' + left.sql + QStringLiteral(") ") + op + QStringLiteral(" (") +
                            right.sql + u')',
                        left.type};
            }
        } else {
            return left;
        }
    }
}

Translator::Expr Translator::parseMultiplicative() {
    Expr left = parseUnary();
    while (peek().isSymbol("*") || peek().isSymbol("/") || peek().isSymbol("%")) {
        const QString op = take().text;
        const Expr right = parseUnary();
        TypeHint type = left.type;
        if (right.type && right.type->base == BaseType::Float)
            type = right.type;
        if (op == QLatin1String("/"))
            left = {QStringLiteral("tsql_divide(%1, %2)").arg(left.sql, right.sql), type};
        else
            left = {u'(' + left.sql + QStringLiteral(") ") + op + QStringLiteral(" (") + right.sql +
                        u')',
                    type};
    }
    return left;
}

Translator::Expr Translator::parseUnary() {
    if (peek().isSymbol("-")) {
        take();
        // Rule: a minus directly before a number literal belongs to the
        // literal, so that exact numbers never pass through a double.
        const Token& t = peek();
        if (t.kind == Token::Integer || t.kind == Token::Decimal || t.kind == Token::Float)
            return numberLiteral(take(), true);
        const Expr e = parseUnary();
        return {QStringLiteral("-(") + e.sql + u')', e.type};
    }
    if (takeSymbol("+"))
        return parseUnary();
    if (takeSymbol("~")) {
        const Expr e = parseUnary();
        return {QStringLiteral("~(") + e.sql + u')', e.type};
    }
    return parsePrimary();
}

Translator::Expr Translator::numberLiteral(const Token& t, bool negative) {
    const QString sign = negative ? QStringLiteral("-") : QString();
    if (t.kind == Token::Integer) {
        bool ok = false;
        const qlonglong value = (sign + t.text).toLongLong(&ok);
        if (ok) {
            const bool fitsInt = value >= INT_MIN && value <= INT_MAX;
            return {QString::number(value),
                    fitsInt ? intType() : TypeHint(SqlType{BaseType::BigInt, 0, 0, 0})};
        }
        const int digits = int(t.text.size());
        return {quoteString(sign + t.text), SqlType{BaseType::Numeric, 0, qMin(38, digits), 0}};
    }
    if (t.kind == Token::Float)
        return {QStringLiteral("tsql_float('%1')").arg(sign + t.text),
                SqlType{BaseType::Float, 0, 0, 0}};
    // Decimal literal: numeric(p,s) kept as its exact digits.
    const int point = int(t.text.indexOf(u'.'));
    const int scale = int(t.text.size()) - point - 1;
    QString intPart = t.text.left(point);
    while (intPart.startsWith(u'0'))
        intPart.remove(0, 1);
    const int precision = qMax(1, qMin(38, int(intPart.size()) + scale));
    QString text = sign + t.text;
    if (text.endsWith(u'.'))
        text.chop(1);
    if (text.startsWith(u'.') || text.startsWith(QLatin1String("-.")))
        text.insert(text.indexOf(u'.'), u'0');
    return {QStringLiteral("tsql_decimal('%1')").arg(text),
            SqlType{BaseType::Numeric, 0, qMax(precision, scale), scale}};
}

Translator::Expr Translator::parsePrimary() {
    const Token t = peek();
    switch (t.kind) {
    case Token::String:
    case Token::UnicodeString: {
        take();
        const bool unicode = t.kind == Token::UnicodeString;
        return {quoteString(t.text), varcharOf(int(t.text.size()), unicode)};
    }
    case Token::Integer:
    case Token::Decimal:
    case Token::Float:
        take();
        return numberLiteral(t, false);
    case Token::Binary: {
        take();
        // Rule: 0x literals, including the bare 0x of an empty binary.
        QString hex = t.text;
        if (hex.size() % 2)
            hex.prepend(u'0');
        return {QStringLiteral("x'") + hex + u'\'',
                SqlType{BaseType::VarBinary, qMax(1, int(hex.size()) / 2), 0, 0}};
    }
    case Token::Variable:
        take();
        return parseGlobal(t);
    case Token::Symbol:
        if (t.isSymbol("(")) {
            take();
            if (peek().isWord("select")) {
                const Query q = parseQuery();
                expectSymbol(")");
                return {u'(' + q.sql + u')', q.hints.value(0)};
            }
            const Expr e = parseExpr();
            expectSymbol(")");
            return {u'(' + e.sql + u')', e.type};
        }
        syntaxError();
    case Token::Word:
        if (t.isWord("null")) {
            take();
            return {QStringLiteral("null"), {}};
        }
        if (t.isWord("case"))
            return parseCase();
        if (peek(1).isSymbol("(") && (!isReserved(t) || t.isWord("left") || t.isWord("right"))) {
            take();
            take();
            return parseFunction(t.text.toLower());
        }
        if (isReserved(t))
            syntaxError();
        [[fallthrough]];
    case Token::QuotedName: {
        QStringList parts = parseName();
        if (peek().isSymbol("(")) // schema-qualified function: dbo.fnX(...)
            throw unsupported(QStringLiteral("calling user-defined functions"));
        // Rule: column references keep only table alias and column name.
        while (parts.size() > 2)
            parts.removeFirst();
        QStringList quoted;
        for (const QString& p : parts)
            quoted.append(quoteName(p));
        TypeHint type;
        if (parts.size() == 1 && m_columnTypes.contains(parts[0].toLower()))
            type = m_columnTypes.value(parts[0].toLower());
        return {quoted.join(u'.'), type};
    }
    default:
        syntaxError();
    }
}

Translator::Expr Translator::parseCase() {
    expectWord("case");
    QString sql = QStringLiteral("case");
    if (!peek().isWord("when"))
        sql += QStringLiteral(" (") + parseExpr().sql + QStringLiteral(") collate tsql");
    TypeHint type;
    if (!peek().isWord("when"))
        syntaxError();
    while (takeWord("when")) {
        sql += QStringLiteral(" when ") + parseExpr().sql;
        expectWord("then");
        const Expr value = parseExpr();
        if (!type)
            type = value.type;
        sql += QStringLiteral(" then ") + value.sql;
    }
    if (takeWord("else")) {
        const Expr value = parseExpr();
        if (!type)
            type = value.type;
        sql += QStringLiteral(" else ") + value.sql;
    }
    expectWord("end");
    return {sql + QStringLiteral(" end"), type};
}

// Rule: @@ functions become the session's values; local variables do not exist.
Translator::Expr Translator::parseGlobal(const Token& t) {
    const QString name = t.text.toLower();
    static const QHash<QString, BaseType> globals = {
        {QStringLiteral("@@version"), BaseType::NVarChar},
        {QStringLiteral("@@servername"), BaseType::NVarChar},
        {QStringLiteral("@@servicename"), BaseType::NVarChar},
        {QStringLiteral("@@language"), BaseType::NVarChar},
        {QStringLiteral("@@spid"), BaseType::SmallInt},
        {QStringLiteral("@@trancount"), BaseType::Int},
        {QStringLiteral("@@rowcount"), BaseType::Int},
        {QStringLiteral("@@error"), BaseType::Int},
        {QStringLiteral("@@identity"), BaseType::Numeric},
        {QStringLiteral("@@datefirst"), BaseType::TinyInt},
        {QStringLiteral("@@textsize"), BaseType::Int},
        {QStringLiteral("@@microsoftversion"), BaseType::Int},
        {QStringLiteral("@@max_precision"), BaseType::TinyInt},
        {QStringLiteral("@@options"), BaseType::Int},
        {QStringLiteral("@@lock_timeout"), BaseType::Int},
    };
    if (!globals.contains(name)) {
        if (name.startsWith(QLatin1String("@@")))
            throw SqlError{195,
                           QStringLiteral("'%1' is not a recognized global variable.").arg(t.text),
                           15, 1, true};
        throw SqlError{137, QStringLiteral("Must declare the scalar variable \"%1\".").arg(t.text),
                       15, 2, true};
    }
    SqlType type{globals.value(name), 0, 0, 0};
    if (type.base == BaseType::NVarChar)
        type.length = 4000;
    if (type.base == BaseType::Numeric)
        type.precision = 38;
    return {QStringLiteral("tsql_global('%1')").arg(name), type};
}

// Rule: built-in functions, each mapped to SQLite's equivalent or to one of
// the stand-in's tsql_ functions.
Translator::Expr Translator::parseFunction(const QString& name) {
    auto args = [&](int minCount, int maxCount) {
        QList<Expr> list;
        if (!peek().isSymbol(")")) {
            do
                list.append(parseExpr());
            while (takeSymbol(","));
        }
        expectSymbol(")");
        if (list.size() < minCount || list.size() > maxCount)
            throw SqlError{
                174,
                QStringLiteral("The %1 function requires %2 argument(s).").arg(name).arg(minCount),
                15, 1, true};
        return list;
    };
    auto joined = [](const QList<Expr>& list) {
        QStringList parts;
        for (const Expr& e : list)
            parts.append(e.sql);
        return parts.join(QStringLiteral(", "));
    };
    auto datePart = [&] {
        if (!peek().isName() && peek().kind != Token::String)
            syntaxError();
        return take().text.toLower();
    };
    if (name == QLatin1String("convert") || name == QLatin1String("cast")) {
        // Rule: CONVERT(type, value[, style]) and CAST(value AS type).
        TypeSpec declared;
        Expr value;
        QString style;
        if (name == QLatin1String("convert")) {
            declared = parseTypeSpec();
            expectSymbol(",");
            value = parseExpr();
            if (takeSymbol(","))
                style = QStringLiteral(", ") + parseExpr().sql;
        } else {
            value = parseExpr();
            expectWord("as");
            declared = parseTypeSpec();
        }
        expectSymbol(")");
        const auto type = SqlType::fromName(declared.name, declared.arg1, declared.arg2, true);
        if (!type)
            throw SqlError{243,
                           QStringLiteral("Type %1 is not a defined system type.").arg(declared.name),
                           16, 1, true};
        return {
            QStringLiteral("tsql_convert('%1', %2%3)").arg(type->declaration(), value.sql, style),
            type};
    }
    if (name == QLatin1String("count")) {
        QString inner;
        if (takeSymbol("*")) {
            inner = QStringLiteral("*");
        } else {
            const bool distinct = takeWord("distinct");
            inner = (distinct ? QStringLiteral("distinct ") : QString()) + parseExpr().sql;
        }
        expectSymbol(")");
        return {QStringLiteral("count(") + inner + u')', intType()};
    }
    if (name == QLatin1String("datepart") || name == QLatin1String("datename")) {
        const QString part = datePart();
        expectSymbol(",");
        const Expr value = parseExpr();
        expectSymbol(")");
        return {QStringLiteral("tsql_datepart('%1', %2)").arg(part, value.sql), intType()};
    }
    if (name == QLatin1String("dateadd")) {
        const QString part = datePart();
        expectSymbol(",");
        const Expr n = parseExpr();
        expectSymbol(",");
        const Expr value = parseExpr();
        expectSymbol(")");
        return {QStringLiteral("tsql_dateadd('%1', %2, %3)").arg(part, n.sql, value.sql),
                SqlType{BaseType::DateTime, 0, 0, 0}};
    }
    if (name == QLatin1String("datediff")) {
        const QString part = datePart();
        expectSymbol(",");
        const Expr a = parseExpr();
        expectSymbol(",");
        const Expr b = parseExpr();
        expectSymbol(")");
        return {QStringLiteral("tsql_datediff('%1', %2, %3)").arg(part, a.sql, b.sql), intType()};
    }
    if (name == QLatin1String("year") || name == QLatin1String("month") ||
        name == QLatin1String("day")) {
        const QList<Expr> a = args(1, 1);
        return {QStringLiteral("tsql_datepart('%1', %2)").arg(name, a[0].sql), intType()};
    }
    struct Mapping {
        const char* tsql;
        const char* sqlite;
        int minArgs;
        int maxArgs;
        int result; // -1: type of the first argument; otherwise a BaseType
    };
    static const Mapping mappings[] = {
        {"isnull", "ifnull", 2, 2, -1},
        {"coalesce", "coalesce", 2, 99, -1},
        {"nullif", "nullif", 2, 2, -1},
        {"upper", "upper", 1, 1, -1},
        {"lower", "lower", 1, 1, -1},
        {"ltrim", "ltrim", 1, 1, -1},
        {"rtrim", "rtrim", 1, 1, -1},
        {"replace", "tsql_replace", 3, 3, -1},
        {"substring", "substr", 3, 3, -1},
        {"left", "tsql_left", 2, 2, -1},
        {"right", "tsql_right", 2, 2, -1},
        {"len", "tsql_len", 1, 1, int(BaseType::Int)},
        {"datalength", "tsql_datalength", 1, 1, int(BaseType::Int)},
        {"charindex", "tsql_charindex", 2, 3, int(BaseType::Int)},
        {"abs", "abs", 1, 1, -1},
        {"sign", "sign", 1, 1, -1},
        {"round", "tsql_round", 2, 3, -1},
        {"floor", "floor", 1, 1, -1},
        {"ceiling", "ceil", 1, 1, -1},
        {"space", "tsql_space", 1, 1, int(BaseType::VarChar)},
        {"replicate", "tsql_replicate", 2, 2, -1},
        {"reverse", "tsql_reverse", 1, 1, -1},
        {"char", "char", 1, 1, int(BaseType::Char)},
        {"nchar", "char", 1, 1, int(BaseType::NChar)},
        {"ascii", "unicode", 1, 1, int(BaseType::Int)},
        {"unicode", "unicode", 1, 1, int(BaseType::Int)},
        {"getdate", "tsql_getdate", 0, 0, int(BaseType::DateTime)},
        {"current_timestamp", "tsql_getdate", 0, 0, int(BaseType::DateTime)},
        {"newid", "tsql_newid", 0, 0, int(BaseType::UniqueIdentifier)},
        {"schema_name", "tsql_schema_name", 0, 1, int(BaseType::SysName)},
        {"user_name", "tsql_schema_name", 0, 1, int(BaseType::SysName)},
        {"schema_id", "tsql_schema_id", 0, 1, int(BaseType::Int)},
        {"user_id", "tsql_schema_id", 0, 1, int(BaseType::Int)},
        {"object_id", "tsql_object_id", 1, 2, int(BaseType::Int)},
        {"object_name", "tsql_object_name", 1, 1, int(BaseType::SysName)},
        {"db_name", "tsql_db_name", 0, 1, int(BaseType::NVarChar)},
        {"db_id", "tsql_db_id", 0, 1, int(BaseType::SmallInt)},
        {"suser_sname", "tsql_login_name", 0, 0, int(BaseType::NVarChar)},
        {"system_user", "tsql_login_name", 0, 0, int(BaseType::NVarChar)},
        {"host_name", "tsql_host_name", 0, 0, int(BaseType::NVarChar)},
        {"serverproperty", "tsql_serverproperty", 1, 1, int(BaseType::NVarChar)},
        {"ident_current", "tsql_ident_current", 1, 1, int(BaseType::Numeric)},
        {"isnumeric", "tsql_isnumeric", 1, 1, int(BaseType::Int)},
        {"str", "tsql_str", 1, 3, int(BaseType::VarChar)},
        {"sum", "sum", 1, 1, -1},
        {"min", "min", 1, 1, -1},
        {"max", "max", 1, 1, -1},
        {"avg", "avg", 1, 1, -1},
    };
    for (const Mapping& m : mappings) {
        if (name != QLatin1String(m.tsql))
            continue;
        const QList<Expr> list = args(m.minArgs, m.maxArgs);
        TypeHint type;
        if (m.result == -1)
            type = list.isEmpty() ? TypeHint() : list[0].type;
        else
            type =
                SqlType::fromName(SqlType{BaseType(m.result), 0, 0, 0}.typeName(), 4000, 0, true);
        if (type && type->base == BaseType::Numeric && m.result != -1)
            type = SqlType{BaseType::Numeric, 0, 38, 0};
        if (type && type->base == BaseType::Char)
            type->length = 1;
        return {QLatin1String(m.sqlite) + u'(' + joined(list) + u')', type};
    }
    throw SqlError{195,
                   QStringLiteral("'%1' is not a recognized built-in function name.").arg(name), 15,
                   10, true};
}

// ---- data changes ----------------------------------------------------------

// Rule: INSERT ... VALUES (one or more rows), INSERT ... SELECT and DEFAULT
// VALUES. Every value passes through tsql_store, which converts it to the
// column's declared type as SQL Server would; identity and timestamp columns
// are filled by the stand-in.
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
    QList<QList<Expr>> rows;
    QString selectSql;
    bool defaultValues = false;
    if (takeWord("values")) {
        do {
            expectSymbol("(");
            QList<Expr> row;
            do
                row.append(parseExpr());
            while (takeSymbol(","));
            expectSymbol(")");
            rows.append(row);
        } while (takeSymbol(","));
    } else if (peek().isWord("select") || peek().isSymbol("(")) {
        selectSql = parseQuery().sql;
    } else if (takeWord("default")) {
        expectWord("values");
        defaultValues = true;
    } else if (peek().isWord("exec") || peek().isWord("execute")) {
        throw unsupported(QStringLiteral("INSERT ... EXEC"));
    } else {
        syntaxError();
    }

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

    QList<const ColumnInfo*> targets;
    if (listed.isEmpty()) {
        for (const ColumnInfo& c : table->columns)
            if (!c.identity && !c.computed && c.type.base != BaseType::Timestamp)
                targets.append(&c);
        if (m_context.identityInsertObject == object->objectId)
            throw SqlError{8101,
                           QStringLiteral("An explicit value for the identity column in table "
                                          "'%1' can only be specified when a column list is used "
                                          "and IDENTITY_INSERT is ON.")
                               .arg(name.join(u'.')),
                           16, 1, false};
    } else {
        for (const QString& columnName : listed) {
            const ColumnInfo* c = table->column(columnName);
            if (!c)
                throw invalidColumnName(columnName);
            if (c->computed)
                throw SqlError{271,
                               QStringLiteral("The column \"%1\" cannot be modified because it is "
                                              "either a computed column or is the result of a "
                                              "UNION operator.")
                                   .arg(c->name),
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
    }
    const ColumnInfo* identity = table->identityColumn();
    const bool identityListed = identity && targets.contains(identity);
    const bool identityInsert = m_context.identityInsertObject == object->objectId;
    if (identityListed && !identityInsert)
        throw SqlError{544,
                       QStringLiteral("Cannot insert explicit value for identity column in table "
                                      "'%1' when IDENTITY_INSERT is set to OFF.")
                           .arg(object->name),
                       16, 1, false};
    if (identity && !identityListed && identityInsert)
        throw SqlError{545,
                       QStringLiteral("Explicit value must be specified for identity column in "
                                      "table '%1' either when IDENTITY_INSERT is set to ON or "
                                      "when a replication user is inserting into a NOT FOR "
                                      "REPLICATION identity column.")
                           .arg(object->name),
                       16, 1, false};
    for (const auto& row : rows) {
        if (row.size() > targets.size())
            throw SqlError{110,
                           QStringLiteral("There are fewer columns in the INSERT statement than "
                                          "values specified in the VALUES clause. The number of "
                                          "values in the VALUES clause must match the number of "
                                          "columns specified in the INSERT statement."),
                           15, 1, true};
        if (row.size() < targets.size())
            throw SqlError{109,
                           QStringLiteral("There are more columns in the INSERT statement than "
                                          "values specified in the VALUES clause. The number of "
                                          "values in the VALUES clause must match the number of "
                                          "columns specified in the INSERT statement."),
                           15, 1, true};
    }

    QStringList columnNames;
    QStringList values;
    QStringList sourceNames;
    for (int i = 0; i < targets.size(); ++i) {
        const ColumnInfo* c = targets[i];
        const QString source = QStringLiteral("src.c%1").arg(i + 1);
        sourceNames.append(QStringLiteral("c%1").arg(i + 1));
        columnNames.append(quoteName(c->name));
        if (c == identity)
            values.append(
                QStringLiteral("tsql_seen_identity(%1, %2)").arg(object->objectId).arg(source));
        else
            values.append(
                QStringLiteral("tsql_store('%1', %2)").arg(c->type.declaration(), source));
    }
    if (identity && !identityListed) {
        columnNames.append(quoteName(identity->name));
        values.append(QStringLiteral("tsql_next_identity(%1)").arg(object->objectId));
    }
    for (const ColumnInfo& c : table->columns) {
        if (c.type.base == BaseType::Timestamp) {
            columnNames.append(quoteName(c.name));
            values.append(QStringLiteral("tsql_rowversion()"));
        }
    }
    QString source;
    if (defaultValues) {
        if (columnNames.isEmpty()) {
            statement.sql = QStringLiteral("insert into %1 default values").arg(sqliteName);
            return statement;
        }
        source = QStringLiteral("(select 1)");
    } else if (!selectSql.isEmpty()) {
        source = selectSql;
    } else {
        QStringList rowTexts;
        for (const auto& row : rows) {
            QStringList texts;
            for (const Expr& e : row)
                texts.append(e.sql);
            rowTexts.append(u'(' + texts.join(QStringLiteral(", ")) + u')');
        }
        source = QStringLiteral("values ") + rowTexts.join(QStringLiteral(", "));
    }
    const QString cte = sourceNames.isEmpty()
                            ? QStringLiteral("with src as (%1) ").arg(source)
                            : QStringLiteral("with src(%1) as (%2) ")
                                  .arg(sourceNames.join(QStringLiteral(", ")), source);
    statement.sql = cte + QStringLiteral("insert into %1 (%2) select %3 from src")
                              .arg(sqliteName, columnNames.join(QStringLiteral(", ")),
                                   values.join(QStringLiteral(", ")));
    return statement;
}

// Rule: UPDATE t SET col = value, ... [WHERE]; values converted like INSERT's.
Statement Translator::parseUpdate() {
    expectWord("update");
    const QStringList name = parseName();
    expectWord("set");
    QList<QPair<QString, Expr>> assignments;
    do {
        QStringList column = parseName();
        expectSymbol("=");
        assignments.append({column.last(), parseExpr()});
    } while (takeSymbol(","));
    if (peek().isWord("from"))
        throw unsupported(QStringLiteral("UPDATE ... FROM"));
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
    const auto object = m_context.catalogue->find(name);
    const auto table = m_context.catalogue->table(object->objectId);
    QStringList sets;
    for (const auto& [columnName, value] : assignments) {
        const ColumnInfo* c = table->column(columnName);
        if (!c)
            throw invalidColumnName(columnName);
        if (c->identity)
            throw SqlError{8102, QStringLiteral("Cannot update identity column '%1'.").arg(c->name),
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
            QStringLiteral(" = tsql_store('%1', %2)").arg(c->type.declaration(), value.sql));
    }
    for (const ColumnInfo& c : table->columns)
        if (c.type.base == BaseType::Timestamp)
            sets.append(quoteName(c.name) + QStringLiteral(" = tsql_rowversion()"));
    statement.objectId = object->objectId;
    statement.sql =
        QStringLiteral("update %1 as %2 set %3%4")
            .arg(sqliteName, quoteName(name.last()), sets.join(QStringLiteral(", ")), where);
    return statement;
}

// Rule: DELETE [FROM] t [WHERE].
Statement Translator::parseDelete() {
    expectWord("delete");
    takeWord("from");
    const QStringList name = parseName();
    QString where;
    if (takeWord("where"))
        where = QStringLiteral(" where ") + parseExpr().sql;
    Statement statement;
    statement.kind = Statement::Kind::Modify;
    statement.verb = QStringLiteral("delete");
    statement.name = name;
    if (m_context.catalogue)
        statement.sql = QStringLiteral("delete from %1 as %2%3")
                            .arg(resolveTable(name), quoteName(name.last()), where);
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
    const Token& what = peek();
    if (what.isWord("proc") || what.isWord("procedure") || what.isWord("view") ||
        what.isWord("trigger") || what.isWord("function"))
        return parseModule(isAlter, verb);
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
// increment), DEFAULT, computed columns (name AS expression), PRIMARY KEY and
// UNIQUE; FOREIGN KEY and CHECK are read and not enforced.
Statement Translator::parseCreateTable() {
    expectWord("table");
    Statement statement;
    statement.kind = Statement::Kind::CreateTable;
    statement.name = parseName();
    expectSymbol("(");
    m_columnTypes.clear();
    auto skipParenthesised = [&] {
        expectSymbol("(");
        int depth = 1;
        while (depth > 0 && peek().kind != Token::End) {
            if (peek().isSymbol("("))
                ++depth;
            else if (peek().isSymbol(")"))
                --depth;
            take();
        }
    };
    auto parseKeyColumns = [&] {
        QStringList columns;
        expectSymbol("(");
        do {
            columns.append(parseNamePart());
            if (!takeWord("asc"))
                takeWord("desc");
        } while (takeSymbol(","));
        expectSymbol(")");
        return columns;
    };
    auto skipIndexOptions = [&] {
        if (!takeWord("clustered"))
            takeWord("nonclustered");
    };
    auto parseTableConstraint = [&] {
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
            parseKeyColumns();
        } else if (takeWord("foreign")) {
            expectWord("key");
            parseKeyColumns();
            expectWord("references");
            parseName();
            if (peek().isSymbol("("))
                parseKeyColumns();
            while (takeWord("on")) {
                take();
                take();
                if (peek().isWord("action") || peek().isWord("null") || peek().isWord("default"))
                    take();
            }
        } else if (takeWord("check")) {
            skipParenthesised();
        } else {
            syntaxError();
        }
    };
    do {
        if (peek().isWord("constraint") || peek().isWord("primary") || peek().isWord("unique") ||
            peek().isWord("foreign") || peek().isWord("check")) {
            parseTableConstraint();
            continue;
        }
        ColumnDefinition column;
        column.name = parseNamePart();
        if (takeWord("as")) {
            const Expr e = parseExpr();
            column.computedSql = e.sql;
            column.computedType = e.type;
            takeWord("persisted");
            statement.columns.append(column);
            continue;
        }
        const TypeSpec declared = parseTypeSpec();
        column.typeName = declared.name;
        column.arg1 = declared.arg1;
        column.arg2 = declared.arg2;
        if (const auto type = SqlType::fromName(declared.name, declared.arg1, declared.arg2))
            m_columnTypes.insert(column.name.toLower(), *type);
        for (;;) {
            if (takeWord("identity")) {
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
                parseNamePart();
            } else if (takeWord("primary")) {
                expectWord("key");
                skipIndexOptions();
                column.primaryKey = true;
                column.nullable = false;
                statement.primaryKey = QStringList{column.name};
            } else if (takeWord("unique")) {
                skipIndexOptions();
                column.unique = true;
            } else if (takeWord("default")) {
                column.defaultSql = parseUnary().sql;
            } else if (takeWord("collate")) {
                parseNamePart();
            } else if (takeWord("rowguidcol")) {
            } else if (takeWord("references")) {
                parseName();
                if (peek().isSymbol("("))
                    parseKeyColumns();
            } else if (takeWord("check")) {
                skipParenthesised();
            } else {
                break;
            }
        }
        statement.columns.append(column);
    } while (takeSymbol(","));
    expectSymbol(")");
    if (takeWord("on"))
        parseNamePart();
    if (takeWord("textimage_on"))
        parseNamePart();
    m_columnTypes.clear();
    return statement;
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
    if (!takeWord("as"))
        syntaxError();
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
