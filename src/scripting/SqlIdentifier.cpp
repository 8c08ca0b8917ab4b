#include "scripting/SqlIdentifier.h"

#include <QSet>

namespace quarvex {

namespace {

// T-SQL's reserved keywords, including the ODBC ones the server reserves.
const QSet<QString>& reservedKeywords() {
    static const QSet<QString> words = [] {
        const char* const list[] = {"ADD",
                                    "ALL",
                                    "ALTER",
                                    "AND",
                                    "ANY",
                                    "AS",
                                    "ASC",
                                    "AUTHORIZATION",
                                    "BACKUP",
                                    "BEGIN",
                                    "BETWEEN",
                                    "BREAK",
                                    "BROWSE",
                                    "BULK",
                                    "BY",
                                    "CASCADE",
                                    "CASE",
                                    "CHECK",
                                    "CHECKPOINT",
                                    "CLOSE",
                                    "CLUSTERED",
                                    "COALESCE",
                                    "COLLATE",
                                    "COLUMN",
                                    "COMMIT",
                                    "COMPUTE",
                                    "CONSTRAINT",
                                    "CONTAINS",
                                    "CONTAINSTABLE",
                                    "CONTINUE",
                                    "CONVERT",
                                    "CREATE",
                                    "CROSS",
                                    "CURRENT",
                                    "CURRENT_DATE",
                                    "CURRENT_TIME",
                                    "CURRENT_TIMESTAMP",
                                    "CURRENT_USER",
                                    "CURSOR",
                                    "DATABASE",
                                    "DBCC",
                                    "DEALLOCATE",
                                    "DECLARE",
                                    "DEFAULT",
                                    "DELETE",
                                    "DENY",
                                    "DESC",
                                    "DISK",
                                    "DISTINCT",
                                    "DISTRIBUTED",
                                    "DOUBLE",
                                    "DROP",
                                    "DUMP",
                                    "ELSE",
                                    "END",
                                    "ERRLVL",
                                    "ESCAPE",
                                    "EXCEPT",
                                    "EXEC",
                                    "EXECUTE",
                                    "EXISTS",
                                    "EXIT",
                                    "EXTERNAL",
                                    "FETCH",
                                    "FILE",
                                    "FILLFACTOR",
                                    "FOR",
                                    "FOREIGN",
                                    "FREETEXT",
                                    "FREETEXTTABLE",
                                    "FROM",
                                    "FULL",
                                    "FUNCTION",
                                    "GOTO",
                                    "GRANT",
                                    "GROUP",
                                    "HAVING",
                                    "HOLDLOCK",
                                    "IDENTITY",
                                    "IDENTITY_INSERT",
                                    "IDENTITYCOL",
                                    "IF",
                                    "IN",
                                    "INDEX",
                                    "INNER",
                                    "INSERT",
                                    "INTERSECT",
                                    "INTO",
                                    "IS",
                                    "JOIN",
                                    "KEY",
                                    "KILL",
                                    "LEFT",
                                    "LIKE",
                                    "LINENO",
                                    "LOAD",
                                    "MERGE",
                                    "NATIONAL",
                                    "NOCHECK",
                                    "NONCLUSTERED",
                                    "NOT",
                                    "NULL",
                                    "NULLIF",
                                    "OF",
                                    "OFF",
                                    "OFFSETS",
                                    "ON",
                                    "OPEN",
                                    "OPENDATASOURCE",
                                    "OPENQUERY",
                                    "OPENROWSET",
                                    "OPENXML",
                                    "OPTION",
                                    "OR",
                                    "ORDER",
                                    "OUTER",
                                    "OVER",
                                    "PERCENT",
                                    "PIVOT",
                                    "PLAN",
                                    "PRECISION",
                                    "PRIMARY",
                                    "PRINT",
                                    "PROC",
                                    "PROCEDURE",
                                    "PUBLIC",
                                    "RAISERROR",
                                    "READ",
                                    "READTEXT",
                                    "RECONFIGURE",
                                    "REFERENCES",
                                    "REPLICATION",
                                    "RESTORE",
                                    "RESTRICT",
                                    "RETURN",
                                    "REVERT",
                                    "REVOKE",
                                    "RIGHT",
                                    "ROLLBACK",
                                    "ROWCOUNT",
                                    "ROWGUIDCOL",
                                    "RULE",
                                    "SAVE",
                                    "SCHEMA",
                                    "SECURITYAUDIT",
                                    "SELECT",
                                    "SEMANTICKEYPHRASETABLE",
                                    "SEMANTICSIMILARITYDETAILSTABLE",
                                    "SEMANTICSIMILARITYTABLE",
                                    "SESSION_USER",
                                    "SET",
                                    "SETUSER",
                                    "SHUTDOWN",
                                    "SOME",
                                    "STATISTICS",
                                    "SYSTEM_USER",
                                    "TABLE",
                                    "TABLESAMPLE",
                                    "TEXTSIZE",
                                    "THEN",
                                    "TO",
                                    "TOP",
                                    "TRAN",
                                    "TRANSACTION",
                                    "TRIGGER",
                                    "TRUNCATE",
                                    "TRY_CONVERT",
                                    "TSEQUAL",
                                    "UNION",
                                    "UNIQUE",
                                    "UNPIVOT",
                                    "UPDATE",
                                    "UPDATETEXT",
                                    "USE",
                                    "USER",
                                    "VALUES",
                                    "VARYING",
                                    "VIEW",
                                    "WAITFOR",
                                    "WHEN",
                                    "WHERE",
                                    "WHILE",
                                    "WITH",
                                    "WRITETEXT"};
        QSet<QString> set;
        for (const char* word : list)
            set.insert(QString::fromLatin1(word));
        return set;
    }();
    return words;
}

bool isIdentifierStart(QChar c) {
    return c.isLetter() || c == u'_';
}

bool isIdentifierPart(QChar c) {
    return c.isLetter() || c.isDigit() || c == u'_' || c == u'@' || c == u'#' || c == u'$';
}

} // namespace

bool isRegularIdentifier(const QString& name) {
    if (name.isEmpty() || !isIdentifierStart(name.front()))
        return false;
    for (const QChar c : name)
        if (!isIdentifierPart(c))
            return false;
    return !reservedKeywords().contains(name.toUpper());
}

QString sqlIdentifier(const QString& name) {
    if (isRegularIdentifier(name))
        return name;
    return QLatin1Char('[') + QString(name).replace(QLatin1String("]"), QLatin1String("]]")) +
           QLatin1Char(']');
}

} // namespace quarvex
