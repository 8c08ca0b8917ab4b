#include "scripting/ScriptObject.h"

#include "base/ProcedureError.h"
#include "db/RecordSet.h"
#include "db/ServerConnection.h"
#include "scripting/DefinitionBlock.h"
#include "scripting/LiteralCuts.h"
#include "scripting/ModuleHeader.h"
#include "scripting/ReportSkip.h"
#include "scripting/ScriptContext.h"

#include <optional>

namespace quarvex {

QString definitionQuery(bool sql2005Plus, qint32 objectId, ObjectKind kind) {
    const QString id = QString::number(objectId);
    // From 2005 on, sys.sql_modules holds only number 1 of a numbered
    // procedure group; the others are in sys.numbered_procedures and would
    // be lost without it.
    if (sql2005Plus && kind == ObjectKind::Proc)
        return QLatin1String("select definition,case when definition is null then 1 else 0 end,"
                             "1 number from sys.sql_modules where object_id=") +
               id +
               QLatin1String(" union all select definition,case when definition is null then 1 "
                             "else 0 end,procedure_number from sys.numbered_procedures where "
                             "object_id=") +
               id + QLatin1String(" order by 3 ");
    if (sql2005Plus)
        return QLatin1String("select definition,case when definition is null then 1 else 0 end "
                             "from sys.sql_modules where object_id=") +
               id + QLatin1Char(' ');
    return QLatin1String("select text,convert(tinyint,encrypted),number,colid "
                         "from syscomments where id=") +
           id + QLatin1String(" order by 3,4 ");
}

namespace {

// A module renamed with sp_rename, or moved to another schema, keeps its old
// name in its stored text; its script would make or change the old object.
void requireListedName(const QString& definition, const ObjectRef& object) {
    const std::optional<ModuleHeaderName> header = moduleHeaderName(definition);
    if (!header)
        return;
    if (const auto fault = unlistedHeaderFault(*header, object.owner, object.name))
        raise(*fault);
}

// A batch runner takes such a line as its own wherever it stands, in a
// comment or a string too: a GO line would end the module's batch and run
// what follows as a batch of its own. Unlike a value's literal, a module's
// text cannot be cut around it.
void requireNoRunnerLines(const QString& definition) {
    if (const auto line = firstRunnerLine(definition))
        raise(QStringLiteral("line %1 of its text %2, which a script cannot carry safely")
                  .arg(line->number)
                  .arg(line->what));
}

} // namespace

bool ScriptObject(ScriptContext& context, const ObjectRef& object, const QString& objectName,
                  OdbcConnection& connection) {
    const ObjectKind kind = object.kind;
    QString fileName;
    std::optional<RecordSet> records;

    const auto failure = failureOf([&] {
        // Tables have no source text; their rows are ScriptTable's.
        if (kind == ObjectKind::Table)
            raiseUnexpectedCase();
        const ObjectKindFacts& facts = factsOf(kind);
        fileName = context.scriptFile(kind);
        const bool sql2005Plus = IsSQL2005Plus(connection);
        const QString query = definitionQuery(sql2005Plus, object.id, kind);
        const bool numbered = !sql2005Plus || kind == ObjectKind::Proc;

        // One text per number of a numbered procedure group. Older servers
        // hand each out in pieces of at most 4000 characters, split wherever
        // the text falls; joined they are whole.
        QStringList definitions;
        qint64 number = 0;
        records.emplace(connection, query);
        for (; !records->atEnd(); records->moveNext()) {
            const qint64 rowNumber = numbered ? records->value(2).toLongLong() : 1;
            if (definitions.isEmpty() || rowNumber != number)
                definitions.append(QString());
            number = rowNumber;
            definitions.last() += records->value(0).toString();
            if (records->value(1).toLongLong() != 0)
                raise(QStringLiteral("Object encrypted or insufficient rights to definition"));
        }
        records->close();
        if (definitions.isEmpty())
            definitions.append(QString());
        for (const QString& definition : definitions) {
            requireNoRunnerLines(definition);
            requireListedName(definition, object);
        }

        const DefinitionBlockOptions options{context.settings.alter(), context.settings.encrypt(),
                                             context.settings.createOrAlter()};
        context.files().AppendFile(fileName,
                                   definitionBlock(facts, objectName, definitions, options));
    });
    if (!failure)
        return true;

    records.reset();
    skipOrEndRun(context, QStringLiteral("ScriptObject"),
                 factsOf(kind).kindWord + QLatin1Char(' ') + objectName +
                     QLatin1String(" skipped: "),
                 *failure, fileName);
    return false;
}

} // namespace quarvex
