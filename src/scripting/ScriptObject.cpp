#include "scripting/ScriptObject.h"

#include "base/ProcedureError.h"
#include "db/RecordSet.h"
#include "db/ServerConnection.h"
#include "scripting/ObjectScript.h"
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

bool ScriptObject(ScriptContext& context, qint32 objectId, const QString& objectName,
                  OdbcConnection& connection, ObjectKind kind) {
    QString fileName;
    std::optional<RecordSet> records;

    const auto failure = failureOf([&] {
        // Tables have no source text; their rows are ScriptTable's.
        if (kind == ObjectKind::Table)
            raiseUnexpectedCase();
        const ObjectKindFacts& facts = factsOf(kind);
        fileName = context.scriptFile(kind);
        const QString query = definitionQuery(IsSQL2005Plus(connection), objectId, kind);

        // Older servers hand the text out in pieces of at most 4000
        // characters, split wherever the text falls; joined they are whole.
        QString definition;
        records.emplace(connection, query);
        for (; !records->atEnd(); records->moveNext()) {
            definition += records->value(0).toString();
            if (records->value(1).toLongLong() != 0)
                raise(QStringLiteral("Object encrypted or insufficient rights to definition"));
        }
        records->close();

        const ObjectScriptOptions options{context.settings.alter(), context.settings.encrypt()};
        context.files().AppendFile(fileName, objectScript(facts, objectName, definition, options));
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
