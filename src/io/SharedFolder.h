#pragma once

#include <QString>

namespace quarvex {

// Rules for an output folder that other local users may reach. Whoever can
// rename entries in a folder can swap a file of ours for a link between two
// of our steps, so the scripts are never written into such a folder.

// Raises "The output folder can be written by other users and has no sticky
// bit, so they could replace the script files with links" + CR LF CR LF +
// "[" + folder + "]" for a folder that others can write to (world-writable,
// or group-writable by a group that is not its owner's own) without the
// sticky bit. A folder that does not exist passes: its first file fails.
void requireUnsharedFolder(const QString& folder);

// The user who owns the entry at path when this process may not remove or
// replace it: it belongs to another user and stands in a sticky folder that
// is not ours. Empty when nothing stands there or it is ours to replace.
QString blockingOwner(const QString& path);

// Raises "The entry belongs to user NAME, and the folder's sticky bit keeps
// this run from replacing it" + CR LF CR LF + "[" + path + "]" (a FileWrite
// failure) when blockingOwner names someone.
void requireReplaceableEntry(const QString& path);

} // namespace quarvex
