#include "standin/sql/Translator.h"
#include "standin/store/Sqlite.h"

namespace quarvex::standin {

// Local variables. A batch is translated a statement at a time as it runs,
// so a reference to a variable becomes its current value as a literal,
// typed as the variable is declared. (Simplified: within one statement a
// variable keeps the value it had before it, so SELECT @s = @s + c FROM t
// does not accumulate over the rows as on SQL Server.)

namespace {

QString lowered(const Token& token) {
    return token.text.toLower();
}

bool isLocal(const Token& token) {
    return token.kind == Token::Variable && !token.text.startsWith(QLatin1String("@@"));
}

SqlError undeclared(const Token& token) {
    return SqlError{137, QStringLiteral("Must declare the scalar variable \"%1\".").arg(token.text),
                    15, 2, true};
}

} // namespace

// Rule: DECLARE @v [AS] type [= value] [, ...]. Table variables and cursors
// are not supported; a value in the DECLARE itself came with 2008.
Statement Translator::parseDeclare() {
    expectWord("declare");
    Statement statement;
    statement.kind = Statement::Kind::Declare;
    statement.verb = QStringLiteral("set");
    QStringList assigned;
    QStringList values;
    do {
        if (!isLocal(peek()))
            return unsupportedRest(QStringLiteral("DECLARE of a cursor"));
        const Token& variable = take();
        takeWord("as");
        if (peek().isWord("table") || peek().isWord("cursor"))
            return unsupportedRest(QStringLiteral("DECLARE of a table variable or cursor"));
        const TypeSpec declared = parseTypeSpec();
        declareVariable(variable, declared);
        ColumnDefinition column;
        column.name = lowered(variable);
        column.typeName = declared.name;
        column.arg1 = declared.arg1;
        column.arg2 = declared.arg2;
        statement.columns.append(column);
        if (takeSymbol("=")) {
            if (m_context.majorVersion < 10)
                throw SqlError{139,
                               QStringLiteral("Cannot assign a default value to a local variable."),
                               15, 1, true};
            values.append(assignedValue(column.name, parseExpr()));
            assigned.append(column.name);
        }
    } while (takeSymbol(","));
    if (!assigned.isEmpty()) {
        statement.names.append(assigned);
        statement.sql = QStringLiteral("select ") + values.join(QStringLiteral(", "));
    }
    return statement;
}

// While the syntax is checked, a DECLARE makes its variable known to the
// rest of the batch (its type as far as the name alone tells it; the batch
// runner settles alias types); a second DECLARE of the name fails.
void Translator::declareVariable(const Token& variable, const TypeSpec& declared) {
    if (m_context.catalogue || !m_context.variables)
        return;
    if (m_context.variables->contains(lowered(variable)))
        throw SqlError{134,
                       QStringLiteral("The variable name '%1' has already been declared. Variable "
                                      "names must be unique within a query batch or stored "
                                      "procedure.")
                           .arg(variable.text),
                       15, 1, true};
    const auto type = SqlType::fromName(declared.name, declared.arg1, declared.arg2);
    m_context.variables->insert(
        lowered(variable),
        LocalVariable{variable.text, type.value_or(SqlType{BaseType::NVarChar, 4000, 0, 0}), {}});
}

// Rule: SET @v = expression. (SET @v += ... of 2008 is not supported.)
Statement Translator::parseVariableAssignment() {
    const Token& variable = take();
    localVariable(variable);
    expectSymbol("=");
    Statement statement;
    statement.kind = Statement::Kind::Assign;
    statement.verb = QStringLiteral("set");
    statement.names.append(QStringList{lowered(variable)});
    statement.sql = QStringLiteral("select ") + assignedValue(lowered(variable), parseExpr());
    return statement;
}

// A value converted to the variable's type, as assignment converts it: a
// string too long for the variable is cut without an error.
QString Translator::assignedValue(const QString& variable, const Expr& value) const {
    const LocalVariable& target = m_context.variables->value(variable);
    return QStringLiteral("tsql_convert('%1', %2)").arg(target.type.declaration(), value.sql);
}

const LocalVariable& Translator::localVariable(const Token& token) const {
    if (!m_context.variables)
        throw undeclared(token);
    const auto found = m_context.variables->constFind(lowered(token));
    if (found == m_context.variables->constEnd())
        throw undeclared(token);
    return *found;
}

Translator::Expr Translator::parseLocalVariable(const Token& token) {
    const LocalVariable& variable = localVariable(token);
    return {sqliteLiteral(variable.value), variable.type};
}

} // namespace quarvex::standin
