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

namespace quarvex::test {

// One script run as the window does it, against a stand-in: the whole
// catalogue listed, objects ticked by name, the scripts written into a
// folder of their own, the viewers recorded instead of started.
struct ScriptRun {
    TempFolder folder;
    RecordingToolkit toolkit;
    RunState runState;
    Settings settings;
    // The files a viewer was started on. A viewer named "missing" fails to
    // start, as a program that is not installed does.
    QStringList viewed;

    // adjust changes the connection settings before the list is loaded.
    explicit ScriptRun(const StandIn& server,
                       const std::function<void(ConnectionSettings&)>& adjust = {});

    void tick(const QStringList& names, bool checked = true);
    // The run's failure, if it failed; its description is returned.
    std::optional<Failure> failure;
    std::optional<QString> create();

    // A script file's text, read in the run's encoding; its body, without
    // the header note, whose date and time change every run, and in
    // Tables.sql without the note after it that tells how the rows were
    // read (readingNote).
    QString file(const QString& name) const;
    QString body(const QString& name) const;
    QString readingNote() const;
    QStringList ticked() const;
};

} // namespace quarvex::test
