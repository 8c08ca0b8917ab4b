#pragma once

#include "standin/sql/Lexer.h"
#include "standin/sql/LocalVariables.h"
#include "standin/sql/Statement.h"
#include "standin/values/SqlError.h"

#include <QHash>

namespace quarvex::standin {

class Catalogue;

// Turns T-SQL into statements for SQLite, one named rule per construct (see
// the parse* and emit* functions). Without a catalogue it only checks the
// syntax, which is how a whole batch is checked before any of it runs.
class Translator {
public:
    struct Context {
        const Catalogue* catalogue = nullptr; // null: syntax only
        int identityInsertObject = 0;         // table with SET IDENTITY_INSERT ON
        QString database;                     // for the names in messages
        bool createOrAlter = false;           // CREATE OR ALTER is known (2016 SP1 on)
        int spid = 0;                         // whose temporary tables the names mean
        // The batch's local variables. While only the syntax is checked,
        // DECLARE adds to them, so that a name used before its DECLARE fails
        // as SQL Server's compilation fails it; when the batch runs they hold
        // the values a reference stands for.
        LocalVariables* variables = nullptr;
        int majorVersion = 9;
    };

    Translator(const QString& batch, const QList<Token>& tokens, Context context);

    // Parses the statement at the current token; throws SqlError.
    Statement next();
    bool atEnd();
    int position() const { return m_pos; }
    void seek(int position) { m_pos = position; }

private:
    struct Expr {
        QString sql;
        TypeHint type;
    };
    struct Query {
        QString sql;
        QList<TypeHint> hints;
    };
    // What an INSERT takes its rows from.
    struct InsertSource {
        QList<int> rowWidths; // VALUES: the number of values in each row
        QString rowsSql;      // VALUES as SQLite's
        QString selectSql;
        bool defaultValues = false;
    };

    const Token& peek(int ahead = 0) const;
    const Token& take();
    bool takeWord(const char* word);
    bool takeSymbol(const char* symbol);
    void expectWord(const char* word);
    void expectSymbol(const char* symbol);
    [[noreturn]] void syntaxError() const;
    bool isReserved(const Token& token) const;
    int lineOf(const Token& token) const;

    QStringList parseName();
    Statement parseRename();
    QString parseNamePart();
    struct TypeSpec {
        QString name;
        int arg1 = -2;
        int arg2 = -2;
    };
    TypeSpec parseTypeSpec();

    // Statements.
    Statement parseSelectStatement();
    Statement parseInsert();
    InsertSource parseInsertSource();
    Statement parseUpdate();
    QString assignments(int objectId, const QStringList& columns, const QList<Expr>& values) const;
    Statement parseUpdateFrom(const QStringList& target, const QStringList& assignedColumns,
                              const QList<Expr>& values);
    Statement parseIf();
    Statement parseBegin();
    Statement parseTransactionEnd();
    Statement parseRaiserror();
    Statement parseDeclare();
    void declareVariable(const Token& variable, const TypeSpec& declared);
    Statement parseVariableAssignment();
    QString assignedValue(const QString& variable, const Expr& value) const;
    const LocalVariable& localVariable(const Token& token) const;
    Expr parseLocalVariable(const Token& token);
    ReferentialAction parseReferentialAction();
    Statement parseDelete();
    Statement parseTruncate();
    Statement parseSet();
    Statement parsePrint();
    Statement parseDbcc();
    Statement parseUse();
    Statement parseCreate(bool isAlter);
    Statement parseCreateTable();
    void skipParenthesised();
    void skipIndexOptions();
    void parseTableConstraint(Statement& statement);
    ColumnDefinition parseColumnDefinition(Statement& statement);
    bool parseColumnConstraint(Statement& statement, ColumnDefinition& column,
                               QString& constraintName);
    void parseComputedColumn(Statement& statement, ColumnDefinition& column);
    void parseIdentity(ColumnDefinition& column);
    int parseGeneratedAlways();
    void parseTableOptions(Statement& statement);
    Statement parseCreateType();
    Statement parseModule(bool isAlter, const Token& verb);
    void parseModuleKind(Statement& statement, const QString& kind);
    void parseModuleHeader(Statement& statement);
    void refuseSecondModule() const;
    Statement parseDrop();
    Statement parseAlterTable();
    Statement parseAlterDatabase();
    QStringList parseKeyColumns();
    ForeignKeyDefinition parseReferences(const QString& name, const QStringList& columns);
    Statement unsupportedRest(const QString& what);

    // Queries.
    Query parseQuery();
    Query parseSelectCore(QString* limit);
    QString parseSelectHead(QString* limit);
    void parseSelectItem(QStringList& items, Query& query, bool& star, bool topLevel);
    QString parseSelectClauses();
    QString parseFromClause();
    QString parseTableSource();
    QString resolveTable(const QStringList& parts);
    void parseTableHints(int tableId);

    // Expressions, by precedence.
    Expr parseExpr();
    Expr parseAnd();
    Expr parseNot();
    Expr parsePredicate();
    QString parseInList();
    Expr parseAdditive();
    Expr parseMultiplicative();
    Expr parseUnary();
    Expr parsePrimary();
    Expr parseParenthesised();
    Expr parseColumnReference();
    Expr parseFunction(const QString& name);
    QList<Expr> parseArguments(const QString& name, int minCount, int maxCount);
    Expr parseIdentProperty(const QString& name);
    Expr parseConvert(const QString& name);
    Expr parseCount();
    Expr parseDateFunction(const QString& name);
    Expr parseMappedFunction(const QString& name);
    Expr parseCase();
    Expr parseGlobal(const Token& token);
    Expr numberLiteral(const Token& token, bool negative);
    static Expr binaryLiteral(QString hex);

    QString m_batch;
    // Const, so that reading a token never copies the whole batch's list.
    const QList<Token> m_tokens;
    int m_pos = 0;
    Context m_context;
    int m_statementStart = 0;
    // Types of the columns of the table being created, for computed columns.
    QHash<QString, SqlType> m_columnTypes;
    // SELECT ... INTO: the new table's name, once the select list has it.
    QStringList m_intoTable;
    // SELECT @v = ...: the statement's own select list may assign (not a
    // subquery's); the variables it assigns and the columns it returns.
    bool m_topSelect = false;
    QStringList m_assigned;
    int m_retrieved = 0;
    // The statement's user tables read, and those its hints lock.
    QList<int> m_tablesRead;
    QList<int> m_tablesLocked;
};

// The operand kinds tsql_add is told at translation time, so that it can
// apply SQL Server's + rules: concatenation of strings cut at 8000 bytes
// unless an operand is a max type, addition of numbers.
enum AddOperand {
    AddUnknown = 0,
    AddString = 1,
    AddUnicode = 2,
    AddNumber = 3,
    AddBinary = 4,
    AddMax = 8
};
int addOperandFlags(const TypeHint& type);

} // namespace quarvex::standin
