#pragma once

#include <QLockFile>
#include <QString>

namespace quarvex {

// Holds an output folder for one script run, so that two runs (two windows,
// or the window and the command line) never write into each other's files.
// The lock is a file in the folder; one left behind by a run that died is
// taken over.
class OutputFolderLock {
public:
    // Raises "The output folder is in use by another run" + CR LF CR LF +
    // "[" + folder + "]" while another run holds the folder. Refuses a
    // folder that other users can write to without the sticky bit, and
    // names the user whose lock stands in a sticky folder (SharedFolder.h).
    explicit OutputFolderLock(const QString& folder);

    OutputFolderLock(const OutputFolderLock&) = delete;
    OutputFolderLock& operator=(const OutputFolderLock&) = delete;

private:
    QLockFile m_lock;
};

} // namespace quarvex
