#include "io/OutputFolderLock.h"

#include "base/ProcedureError.h"
#include "io/SharedFolder.h"

#include <QDir>

namespace quarvex {

OutputFolderLock::OutputFolderLock(const QString& folder)
    : m_lock(QDir(folder).filePath(QStringLiteral(".quarvex.lock"))) {
    requireUnsharedFolder(folder);
    // Another user's lock in a sticky folder cannot be taken over, live or
    // not; the user is told whose it is instead of waiting for nothing.
    requireReplaceableEntry(QDir(folder).filePath(QStringLiteral(".quarvex.lock")));
    // A run may take long; only a lock whose process is gone is stale.
    m_lock.setStaleLockTime(0);
    if (m_lock.tryLock(0))
        return;
    if (m_lock.error() == QLockFile::LockFailedError)
        raise(QStringLiteral("The output folder is in use by another run\r\n\r\n[") + folder +
              QLatin1Char(']'));
    // No lock file could be made at all: then no other run can write there
    // either, and the first script file reports why the folder is unusable.
}

} // namespace quarvex
