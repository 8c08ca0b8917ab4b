#include "standin/sql/Translator.h"
#include "standin/store/Catalogue.h"

namespace quarvex::standin {

// Rule: IF condition, followed by the statement or BEGIN ... END block it
// guards. The condition becomes a select of 1 or 0; the batch runner skips
// what a false one guards.
Statement Translator::parseIf() {
    expectWord("if");
    Statement statement;
    statement.kind = Statement::Kind::If;
    statement.sql = QStringLiteral("select case when (") + parseExpr().sql +
                    QStringLiteral(") then 1 else 0 end");
    return statement;
}

// Rule: BEGIN TRAN[SACTION] [name], or BEGIN opening a block.
Statement Translator::parseBegin() {
    expectWord("begin");
    Statement statement;
    if (takeWord("tran") || takeWord("transaction")) {
        statement.kind = Statement::Kind::BeginTransaction;
        if (peek().isName() && !isReserved(peek()))
            take();
        return statement;
    }
    statement.kind = Statement::Kind::BlockBegin;
    return statement;
}

// Rule: COMMIT [TRAN[SACTION]] and ROLLBACK [TRAN[SACTION]].
Statement Translator::parseTransactionEnd() {
    Statement statement;
    statement.kind = take().isWord("commit") ? Statement::Kind::CommitTransaction
                                             : Statement::Kind::RollbackTransaction;
    if (takeWord("tran") || takeWord("transaction"))
        if (peek().isName() && !isReserved(peek()))
            take();
    return statement;
}

// Rule: RAISERROR(message, severity, state) with the message a literal or
// a variable; "%%" stands for "%" in either, as the message is a format on
// SQL Server (its other placeholders are not supported). A null message
// reads as an empty one.
Statement Translator::parseRaiserror() {
    expectWord("raiserror");
    expectSymbol("(");
    Statement statement;
    statement.kind = Statement::Kind::Raiserror;
    if (peek().kind == Token::String || peek().kind == Token::UnicodeString)
        statement.value = take().text;
    else if (peek().kind == Token::Variable && !peek().text.startsWith(QLatin1String("@@")))
        statement.value = localVariable(take()).value.toString();
    else
        throw unsupported(QStringLiteral("RAISERROR with a message number"));
    statement.value.replace(QLatin1String("%%"), QLatin1String("%"));
    expectSymbol(",");
    if (peek().kind != Token::Integer)
        syntaxError();
    statement.number = take().text.toLongLong();
    expectSymbol(",");
    if (peek().kind != Token::Integer)
        syntaxError();
    take();
    expectSymbol(")");
    return statement;
}

} // namespace quarvex::standin
