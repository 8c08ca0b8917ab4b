#pragma once

#include <QString>

namespace quarvex {

// The output folder as typed, without blanks around it and without one
// trailing separator ("dir//" keeps one). The root folder keeps its
// separator: an empty folder means none was given.
QString trimmedOutputPath(const QString& typed);

// Raises "No output folder given" for an output folder that is empty or
// blank, before a run writes anything: joined to it, the script files would
// land in the root folder.
void requireOutputFolder(const QString& folder);

// Where the scripts go while no folder has been saved: "Quarvex" in the
// user's documents folder, or in the home folder where there is no documents
// folder. Never the program's own folder, which an installed program may not
// write to. The folder need not exist yet.
QString defaultOutputFolder();

// Creates the folder when it is the default one and missing, so that a first
// run finds it; any other folder is taken as the user gave it.
void createDefaultOutputFolder(const QString& folder);

} // namespace quarvex
