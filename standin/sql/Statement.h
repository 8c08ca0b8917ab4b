#pragma once

#include "standin/values/SqlType.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace quarvex::standin {

using TypeHint = std::optional<SqlType>;

// A column of CREATE TABLE as written; its type is resolved on execution,
// since alias types may come from the same batch.
struct ColumnDefinition {
    QString name;
    QString typeName;
    int arg1 = -2;
    int arg2 = -2;
    bool nullable = true;
    bool identity = false;
    qint64 seed = 1;
    qint64 increment = 1;
    QString computedSql; // translated expression of a computed column
    TypeHint computedType;
    bool persisted = false; // a computed column stored with the row
    QString defaultSql;     // translated default expression
    bool primaryKey = false;
    bool unique = false;
    int generatedAlways = 0; // GENERATED ALWAYS AS ...: sys.columns.generated_always_type
    bool hidden = false;
    bool caseSensitive = false; // COLLATE with a case-sensitive collation (its name holds _CS)
};

// What a key does to the referencing rows when their referenced row goes
// or changes its key.
enum class ReferentialAction { NoAction = 0, Cascade = 1, SetNull = 2, SetDefault = 3 };

// A FOREIGN KEY constraint as written. Without referenced columns it names
// the referenced table's primary key.
struct ForeignKeyDefinition {
    QString name; // empty: the server makes one up
    QStringList columns;
    QStringList referencedTable;
    QStringList referencedColumns;
    // ON DELETE and ON UPDATE, numbered as sys.foreign_keys numbers them.
    ReferentialAction onDelete = ReferentialAction::NoAction;
    ReferentialAction onUpdate = ReferentialAction::NoAction;
};

// One translated T-SQL statement, ready for the engine.
struct Statement {
    enum class Kind {
        Query,       // sql returns rows
        Modify,      // sql changes rows: verb says insert, update or delete
        Print,       // sql is a select of one value
        SetOption,   // option, value, name
        CreateTable, // name, columns, keys, foreignKeys
        CreateType,  // name, columns[0] holds the base type
        CreateSchema,
        CreateModule, // name, moduleType, definition, ...
        Drop,         // dropType, names
        // ALTER TABLE name: adds foreignKeys (noCheck) or drops the constraints names.
        AddForeignKeys,
        DropConstraints,
        // ALTER TABLE name [WITH CHECK] CHECK | NOCHECK CONSTRAINT names (empty: ALL):
        // enableKeys, withCheck.
        CheckConstraints,
        Truncate,
        CheckIdent,
        Rename, // sp_rename: names[0] to value
        Use,
        SelectInto, // name, sql: a new table of the query's columns and rows
        If,         // sql: a select of 1 or 0; false skips the next statement or block
        BlockBegin,
        BlockEnd,
        Return,    // ends the batch
        Raiserror, // value: the message; number: severity
        // DECLARE @v type, ...: columns name the variables; those given a
        // value (2008 on) are assigned as Assign does, by sql and names.
        Declare,
        // SET @v = ... (verb "set") or SELECT @v = ..., ... [FROM ...] (verb
        // "select"): sql gives one column per variable of names[0], each
        // converted to the variable's type; the last row it reads is kept.
        Assign,
        BeginTransaction,
        CommitTransaction,
        RollbackTransaction,
        // ALTER DATABASE name SET option ON | OFF: name, option, value.
        AlterDatabase,
        Unsupported, // what
    };
    Kind kind = Kind::Query;
    int line = 1;
    QString sql;
    QList<TypeHint> hints; // per result column, when the query's select list tells
    QString verb;
    int objectId = 0;
    QStringList name;
    QList<QStringList> names;
    QString option;
    QString value;
    bool hasValue = false;
    qint64 number = 0;
    QList<ColumnDefinition> columns;
    QStringList primaryKey;
    QList<QStringList> uniqueKeys; // UNIQUE constraints, in the order written
    QString constraintName;
    QList<ForeignKeyDefinition> foreignKeys;
    bool noCheck = false;    // ALTER TABLE ... WITH NOCHECK: existing rows are not checked
    bool withCheck = false;  // ALTER TABLE ... WITH CHECK, written out
    bool enableKeys = false; // CHECK CONSTRAINT rather than NOCHECK CONSTRAINT
    // CREATE TABLE ... WITH (SYSTEM_VERSIONING = ON (HISTORY_TABLE = ...)),
    // (LEDGER = ON ...), (MEMORY_OPTIMIZED = ON), AS NODE | AS EDGE.
    bool systemVersioning = false;
    QStringList historyTable;
    int ledgerType = 0; // 2 append-only, 3 updatable
    bool node = false;
    bool edge = false;
    bool memoryOptimized = false;
    // CREATE/ALTER of a procedure, view, trigger or function.
    QString moduleType; // P, V, TR, FN, IF, TF
    bool isAlter = false;
    bool createOrAlter = false;
    bool encrypted = false;
    int procedureNumber = 1;
    QStringList parentName;
    QString definition;
    QString viewSql; // the view's select, translated; empty when it could not be
    QString dropType;
    QString what;
    // The user tables the statement reads, and those of them whose table
    // hints ask for a shared lock held to the end of the transaction
    // (TABLOCK, HOLDLOCK), by object id.
    QList<int> tablesRead;
    QList<int> tablesLocked;
};

} // namespace quarvex::standin
