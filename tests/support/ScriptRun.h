#pragma once

#include "base/ProcedureError.h"
#include "model/RunState.h"
#include "model/Settings.h"
#include "support/RecordingToolkit.h"
#include "support/StandIn.h"
#include "support/TempFolder.h"

#include <QStringList>
#include <functional>
#include <optional>

namespace quarvex {
class OdbcConnection;
}

namespace quarvex::test {

// Runs a script the way a line-based tool does: batch by batch at lines
// reading GO.
void runBatches(OdbcConnection& connection, const QString& script);
// Each batch in turn, as a batch runner that goes on after an error does;
// the errors, each after the text of the batch before it.
QStringList loadReportingErrors(OdbcConnection& connection, const QString& script);
// Each row of the query, its values' texts joined by '|'.
QStringList rowsOf(OdbcConnection& connection, const QString& query);
// The stand-in's sample database, logged into as the runs do.
ConnectionSettings loginTo(const StandIn& server);

// One script run as the window does it, against a stand-in: the whole
// catalogue listed, objects ticked by name, the scripts written into a
// folder of their own, the viewers recorded instead of started.
struct ScriptRun {
    TempFolder folder;
    RecordingToolkit toolkit;
    RunState fields;
    Settings settings;
    // The files a viewer was started on. A viewer named "missing" fails to
    // start, as a program that is not installed does.
    QStringList viewed;

    // adjust changes the connection settings before the list is loaded.
    explicit ScriptRun(const StandIn& server,
                       const std::function<void(ConnectionSettings&)>& adjust = {});

    void tick(const QStringList& names);
    // The run's failure, if it failed; its description is returned.
    std::optional<Failure> failure;
    std::optional<QString> create();

    // A script file's text, read in the run's encoding.
    QString file(const QString& name) const;
    QStringList ticked() const;
};

} // namespace quarvex::test
