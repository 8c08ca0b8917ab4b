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

} // namespace quarvex
