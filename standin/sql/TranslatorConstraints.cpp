#include "standin/sql/Translator.h"

namespace quarvex::standin {

// Key constraints: the column lists and FOREIGN KEY clauses CREATE TABLE and
// ALTER TABLE share, and the ALTER TABLE forms that add or drop keys.

QStringList Translator::parseKeyColumns() {
    QStringList columns;
    expectSymbol("(");
    do {
        columns.append(parseNamePart());
        if (!takeWord("asc"))
            takeWord("desc");
    } while (takeSymbol(","));
    expectSymbol(")");
    return columns;
}

// Rule: REFERENCES t [(columns)] [ON DELETE action] [ON UPDATE action] [NOT
// FOR REPLICATION].
ForeignKeyDefinition Translator::parseReferences(const QString& name, const QStringList& columns) {
    ForeignKeyDefinition key;
    key.name = name;
    key.columns = columns;
    expectWord("references");
    key.referencedTable = parseName();
    if (peek().isSymbol("("))
        key.referencedColumns = parseKeyColumns();
    while (peek().isWord("on") && (peek(1).isWord("delete") || peek(1).isWord("update"))) {
        take();
        const bool onDelete = take().isWord("delete");
        (onDelete ? key.onDelete : key.onUpdate) = parseReferentialAction();
    }
    if (peek().isWord("not") && peek(1).isWord("for")) {
        take();
        take();
        expectWord("replication");
    }
    return key;
}

// Rule: NO ACTION | CASCADE | SET NULL | SET DEFAULT. SQL Server 2000 knows
// only the first two, 7.0 only NO ACTION: the others are syntax errors there.
ReferentialAction Translator::parseReferentialAction() {
    if (takeWord("no")) {
        expectWord("action");
        return ReferentialAction::NoAction;
    }
    if (m_context.majorVersion >= 8 && takeWord("cascade"))
        return ReferentialAction::Cascade;
    if (m_context.majorVersion < 9 || !takeWord("set"))
        syntaxError();
    if (takeWord("null"))
        return ReferentialAction::SetNull;
    expectWord("default");
    return ReferentialAction::SetDefault;
}

// Rule: ALTER TABLE t [WITH CHECK | WITH NOCHECK] ADD [CONSTRAINT n] FOREIGN
// KEY (...) REFERENCES ... [, ...], ALTER TABLE t [WITH CHECK | WITH NOCHECK]
// CHECK | NOCHECK CONSTRAINT ALL | n [, ...] and ALTER TABLE t DROP
// [CONSTRAINT] n [, ...]; other forms are not supported.
Statement Translator::parseAlterTable() {
    expectWord("table");
    Statement statement;
    statement.name = parseName();
    if (takeWord("with")) {
        if (takeWord("nocheck")) {
            statement.noCheck = true;
        } else {
            expectWord("check");
            statement.withCheck = true;
        }
    }
    if ((peek().isWord("check") || peek().isWord("nocheck")) && peek(1).isWord("constraint")) {
        statement.kind = Statement::Kind::CheckConstraints;
        statement.enableKeys =
            take().text.compare(QLatin1String("check"), Qt::CaseInsensitive) == 0;
        take();
        if (takeWord("all"))
            return statement;
        do
            statement.names.append(QStringList{parseNamePart()});
        while (takeSymbol(","));
        return statement;
    }
    if (takeWord("add")) {
        statement.kind = Statement::Kind::AddForeignKeys;
        do {
            QString name;
            if (takeWord("constraint"))
                name = parseNamePart();
            if (!takeWord("foreign"))
                return unsupportedRest(QStringLiteral("ALTER TABLE ADD other than FOREIGN KEY"));
            expectWord("key");
            const QStringList columns = parseKeyColumns();
            statement.foreignKeys.append(parseReferences(name, columns));
        } while (takeSymbol(","));
        return statement;
    }
    if (!statement.noCheck && takeWord("drop") && !peek().isWord("column")) {
        statement.kind = Statement::Kind::DropConstraints;
        do {
            takeWord("constraint");
            statement.names.append(QStringList{parseNamePart()});
        } while (takeSymbol(","));
        return statement;
    }
    return unsupportedRest(QStringLiteral("this form of ALTER TABLE"));
}

} // namespace quarvex::standin
