#include "support/ScriptRun.h"

#include "base/ProcedureError.h"
#include "catalogue/LoadList.h"
#include "catalogue/SelectionOrder.h"
#include "db/OdbcConnection.h"
#include "db/RecordSet.h"
#include "io/TextFile.h"
#include "scripting/CreateScripts.h"
#include "scripting/ScriptContext.h"

#include <QRegularExpression>
#include <utility>

namespace quarvex::test {

void runBatches(OdbcConnection& connection, const QString& script) {
    static const QRegularExpression batchEnd(QStringLiteral("\r\nGO\r\n"));
    for (const QString& batch : script.split(batchEnd))
        if (!batch.trimmed().isEmpty())
            connection.execute(batch);
}

QStringList loadReportingErrors(OdbcConnection& connection, const QString& script) {
    QStringList errors;
    QString previous;
    for (const QString& batch : script.split(QStringLiteral("\r\nGO\r\n"))) {
        if (batch.trimmed().isEmpty())
            continue;
        if (const auto failure = failureOf([&] { connection.execute(batch); }))
            errors << previous.trimmed() + "\n=> " + failure->description;
        previous = batch;
    }
    return errors;
}

QStringList rowsOf(OdbcConnection& connection, const QString& query) {
    QStringList rows;
    for (RecordSet records(connection, query); !records.atEnd(); records.moveNext()) {
        QStringList row;
        for (int i = 0; i < records.fieldCount(); ++i)
            row << records.value(i).toString();
        rows << row.join(u'|');
    }
    return rows;
}

ConnectionSettings loginTo(const StandIn& server) {
    return {server.serverText(), "Northwind", "sa", "pw"};
}

ScriptRun::ScriptRun(const StandIn& server,
                     const std::function<void(ConnectionSettings&)>& adjust) {
    settings.connection = loginTo(server);
    if (adjust)
        adjust(settings.connection);
    settings.filters = {};
    settings.outputPath = folder.folder();
    settings.chkGroup = Unchecked;
    toolkit.unstartable = {"missing"};
    toolkit.list.onItemCheck = [this](int item) { lstNames_ItemCheck(toolkit, fields, item); };
    LoadList(toolkit, fields, settings.connection, settings.filters);
}

void ScriptRun::tick(const QStringList& names) {
    for (const QString& name : names)
        for (int i = 0; i < toolkit.list.count(); ++i)
            if (toolkit.list.entry(i).object.name == name) {
                toolkit.list.setChecked(i, true);
                break;
            }
}

std::optional<QString> ScriptRun::create() {
    ScriptContext context{toolkit, fields, settings};
    failure = failureOf([&] {
        CreateScripts(context);
    });
    for (const RecordingToolkit::ViewerStart& start : std::exchange(toolkit.viewers, {}))
        viewed << start.arguments.last();
    if (!failure)
        return std::nullopt;
    return failure->description;
}

QString ScriptRun::file(const QString& name) const {
    const TextFiles files(settings.unicode() ? ScriptEncoding::Unicode : ScriptEncoding::Ansi);
    return files.ReadFile(folder.path(name));
}

QStringList ScriptRun::ticked() const {
    QStringList names;
    for (int i = 0; i < toolkit.list.count(); ++i)
        if (toolkit.list.isChecked(i))
            names << toolkit.list.entry(i).object.name;
    return names;
}

} // namespace quarvex::test
