#include "support/ScriptRun.h"

#include "base/ProcedureError.h"
#include "catalogue/LoadList.h"
#include "catalogue/SelectionOrder.h"
#include "io/TextFile.h"
#include "scripting/CreateScripts.h"
#include "scripting/ScriptContext.h"

#include <utility>

namespace quarvex::test {

ScriptRun::ScriptRun(const StandIn& server,
                     const std::function<void(ConnectionSettings&)>& adjust) {
    settings.connection = server.login();
    if (adjust)
        adjust(settings.connection);
    settings.filters = {};
    settings.outputPath = folder.folder();
    settings.chkGroup = Unchecked;
    toolkit.unstartable = {"missing"};
    toolkit.list.onItemCheck = [this](int item) { lstNames_ItemCheck(toolkit, runState, item); };
    LoadList(toolkit, runState, settings.connection, settings.filters);
}

void ScriptRun::tick(const QStringList& names, bool checked) {
    for (const QString& name : names)
        for (int i = 0; i < toolkit.list.count(); ++i)
            if (toolkit.list.entry(i).object.name == name) {
                toolkit.list.setChecked(i, checked);
                break;
            }
}

std::optional<QString> ScriptRun::create() {
    ScriptContext context{toolkit, runState, settings};
    failure = failureOf([&] { CreateScripts(context); });
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

namespace {

// Where the text after the first n batches begins.
qsizetype afterBatches(const QString& text, int n) {
    qsizetype at = 0;
    for (int i = 0; i < n; ++i)
        at = text.indexOf("GO\r\n\r\n", at) + 6;
    return at;
}

} // namespace

QString ScriptRun::body(const QString& name) const {
    return file(name).mid(afterBatches(file(name), name == "Tables.sql" ? 2 : 1));
}

QString ScriptRun::readingNote() const {
    const QString text = file("Tables.sql");
    const qsizetype start = afterBatches(text, 1);
    return text.mid(start, afterBatches(text, 2) - start);
}

QStringList ScriptRun::ticked() const {
    QStringList names;
    for (int i = 0; i < toolkit.list.count(); ++i)
        if (toolkit.list.isChecked(i))
            names << toolkit.list.entry(i).object.name;
    return names;
}

} // namespace quarvex::test
