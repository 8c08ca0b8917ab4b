#pragma once

#include "model/ObjectRef.h"

#include <QString>
#include <QtGlobal>
#include <map>
#include <set>

namespace quarvex {

struct ScriptContext;

// What one finished run did, by kind of object.
struct RunSummary {
    std::map<ObjectKind, qint32> scripted;
    std::set<ObjectKind> used; // its file received an object or a skip note
    qint32 skipped = 0;
    // Nothing was ticked, so nothing was written.
    bool nothingTicked = false;

    // "3 tables/1 procs/0 triggers/0 views/0 functions scripted", then
    // " - N skipped" when any were.
    QString text() const;
};

// The status line of a run with nothing ticked, which writes no file.
const QString& nothingTickedText();

// One script run: writes the five script files with their header notes,
// scripts every ticked entry of the object list from top to bottom over one
// connection, unticks what was scripted, writes the footers and, when asked,
// the grouped deletes, and starts the viewer (through the toolkit) on every
// file that was used.
// The files are written under hidden names and take the five scripts'
// places only when the run has finished, so the folder holds the five
// scripts of one run, never a mix.
// A viewer that cannot be started is reported in the reporting form as
// "CreateScripts: " + its failure; the run still counts as done.
// Raises "CreateScripts: " + description when the run itself fails; a lost
// connection or a file that cannot be written ends it at that entry. A run
// that fails leaves the scripts as they were and the list's entries and
// ticks as they were when it started. A run cancelled through the toolkit
// (checked between rows and entries; a waiting query is cancelled through
// the driver) ends the same way, with cancelledRunText() on the status line
// and as the description of a failure of kind Cancelled. The toolkit hears
// where the run stands through setProgress.
RunSummary CreateScripts(ScriptContext& context);

} // namespace quarvex
