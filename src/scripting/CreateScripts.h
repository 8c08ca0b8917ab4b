#pragma once

#include "scripting/ViewerLauncher.h"

namespace quarvex {

struct ScriptContext;

// One script run: recreates the five script files with their header notes,
// scripts every ticked entry of the object list from top to bottom over one
// connection, unticks what was scripted, writes the footers and, when asked,
// the grouped deletes, and starts the viewer on every file that was used.
// Raises "CreateScripts: " + description when the run itself fails.
void CreateScripts(ScriptContext& context, const ViewerLauncher& launchViewer = startViewer);

} // namespace quarvex
