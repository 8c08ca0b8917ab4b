#include "standin/sql/Translator.h"
#include "standin/store/Catalogue.h"
#include "standin/store/Sqlite.h"
#include "standin/values/ExactDecimal.h"

#include <QSet>

namespace quarvex::standin {

// Expressions: each T-SQL form becomes its SQLite counterpart with a type
// hint, so that results come back typed as SQL Server would type them.

namespace {

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
    if (type->isDateTime() || type->isTemporal() || type->isClrType() ||
        type->base == BaseType::UniqueIdentifier)
        return AddUnknown;
    return AddNumber;
}

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
// IN's ( subquery ) or ( value, ... ), its SQL without the parentheses.
QString Translator::parseInList() {
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
    return inner;
}

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
    if (takeWord("in"))
        return {l + QStringLiteral(" collate tsql ") + notText + QStringLiteral("in (") +
                    parseInList() + u')',
                intType()};
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

// Rule: 0x literals, including the bare 0x of an empty binary.
Translator::Expr Translator::binaryLiteral(QString hex) {
    if (hex.size() % 2)
        hex.prepend(u'0');
    return {QStringLiteral("x'") + hex + u'\'',
            SqlType{BaseType::VarBinary, qMax(1, int(hex.size()) / 2), 0, 0}};
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
    case Token::Binary:
        take();
        return binaryLiteral(t.text);
    case Token::Variable:
        take();
        if (!t.text.startsWith(QLatin1String("@@")))
            return parseLocalVariable(t);
        return parseGlobal(t);
    case Token::Symbol:
        if (t.isSymbol("("))
            return parseParenthesised();
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
    case Token::QuotedName:
        return parseColumnReference();
    default:
        syntaxError();
    }
}

// ( expression ) or ( subquery ).
Translator::Expr Translator::parseParenthesised() {
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

Translator::Expr Translator::parseColumnReference() {
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

// Rule: @@ functions become the session's values.
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
// A function call, its name and "(" read: the forms with a syntax of their
// own first, then the functions that map onto SQLite's or ours by name.
Translator::Expr Translator::parseFunction(const QString& name) {
    if (name == QLatin1String("ident_seed") || name == QLatin1String("ident_incr"))
        return parseIdentProperty(name);
    if (name == QLatin1String("convert") || name == QLatin1String("cast"))
        return parseConvert(name);
    if (name == QLatin1String("count"))
        return parseCount();
    static const QStringList dateFunctions = {"datepart", "datename", "dateadd", "datediff",
                                              "year",     "month",    "day"};
    if (dateFunctions.contains(name))
        return parseDateFunction(name);
    return parseMappedFunction(name);
}

// The arguments up to ")", as many as the function takes.
QList<Translator::Expr> Translator::parseArguments(const QString& name, int minCount,
                                                   int maxCount) {
    QList<Expr> list;
    if (!peek().isSymbol(")")) {
        do
            list.append(parseExpr());
        while (takeSymbol(","));
    }
    expectSymbol(")");
    if (list.size() < minCount || list.size() > maxCount)
        throw SqlError{
            174, QStringLiteral("The %1 function requires %2 argument(s).").arg(name).arg(minCount),
            15, 1, true};
    return list;
}

Translator::Expr Translator::parseIdentProperty(const QString& name) {
    // Rule: IDENT_SEED and IDENT_INCR of a table named by a string.
    const QList<Expr> list = parseArguments(name, 1, 1);
    return {QStringLiteral("tsql_ident_property(%1, '%2')")
                .arg(list[0].sql, name == QLatin1String("ident_seed") ? QStringLiteral("seed")
                                                                      : QStringLiteral("incr")),
            SqlType{BaseType::Numeric, 0, 38, 0}};
}

Translator::Expr Translator::parseConvert(const QString& name) {
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
    auto type = SqlType::fromName(declared.name, declared.arg1, declared.arg2, true);
    if (type && m_context.catalogue && !type->existsIn(m_context.catalogue->majorVersion()))
        type.reset();
    if (!type)
        throw SqlError{243,
                       QStringLiteral("Type %1 is not a defined system type.").arg(declared.name),
                       16, 1, true};
    // Rule: a variant keeps the type of what it was made of, as far as
    // the expression tells it; else the value tells it at run time.
    if (type->isVariant())
        return {QStringLiteral("tsql_variant('%1', %2)")
                    .arg(value.type ? value.type->declaration() : QString(), value.sql),
                type};
    return {QStringLiteral("tsql_convert('%1', %2%3)").arg(type->declaration(), value.sql, style),
            type};
}

Translator::Expr Translator::parseCount() {
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

// DATEPART, DATENAME, DATEADD, DATEDIFF, and YEAR, MONTH and DAY as DATEPART.
Translator::Expr Translator::parseDateFunction(const QString& name) {
    if (name == QLatin1String("year") || name == QLatin1String("month") ||
        name == QLatin1String("day")) {
        const QList<Expr> a = parseArguments(name, 1, 1);
        return {QStringLiteral("tsql_datepart('%1', %2)").arg(name, a[0].sql), intType()};
    }
    if (!peek().isName() && peek().kind != Token::String)
        syntaxError();
    const QString part = take().text.toLower();
    expectSymbol(",");
    const Expr first = parseExpr();
    if (name == QLatin1String("datepart") || name == QLatin1String("datename")) {
        expectSymbol(")");
        return {QStringLiteral("tsql_datepart('%1', %2)").arg(part, first.sql), intType()};
    }
    expectSymbol(",");
    const Expr second = parseExpr();
    expectSymbol(")");
    if (name == QLatin1String("dateadd"))
        return {QStringLiteral("tsql_dateadd('%1', %2, %3)").arg(part, first.sql, second.sql),
                SqlType{BaseType::DateTime, 0, 0, 0}};
    return {QStringLiteral("tsql_datediff('%1', %2, %3)").arg(part, first.sql, second.sql),
            intType()};
}

// The functions that differ from SQLite's (or our tsql_*) only in name: a
// table of one line each, which makes the function long.
Translator::Expr Translator::parseMappedFunction(const QString& name) {
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
        {"objectproperty", "tsql_objectproperty", 2, 2, int(BaseType::Int)},
        {"db_name", "tsql_db_name", 0, 1, int(BaseType::NVarChar)},
        {"db_id", "tsql_db_id", 0, 1, int(BaseType::SmallInt)},
        {"suser_sname", "tsql_login_name", 0, 0, int(BaseType::NVarChar)},
        {"system_user", "tsql_login_name", 0, 0, int(BaseType::NVarChar)},
        {"host_name", "tsql_host_name", 0, 0, int(BaseType::NVarChar)},
        {"serverproperty", "tsql_serverproperty", 1, 1, int(BaseType::NVarChar)},
        {"ident_current", "tsql_ident_current", 1, 1, int(BaseType::Numeric)},
        {"isnumeric", "tsql_isnumeric", 1, 1, int(BaseType::Int)},
        {"sql_variant_property", "tsql_variant_property", 2, 2, int(BaseType::Variant)},
        {"str", "tsql_str", 1, 3, int(BaseType::VarChar)},
        {"sum", "sum", 1, 1, -1},
        {"min", "min", 1, 1, -1},
        {"max", "max", 1, 1, -1},
        {"avg", "avg", 1, 1, -1},
    };
    for (const Mapping& m : mappings) {
        if (name != QLatin1String(m.tsql))
            continue;
        const QList<Expr> list = parseArguments(name, m.minArgs, m.maxArgs);
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
        QStringList sql;
        for (const Expr& e : list)
            sql.append(e.sql);
        return {QLatin1String(m.sqlite) + u'(' + sql.join(QStringLiteral(", ")) + u')', type};
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
} // namespace quarvex::standin
