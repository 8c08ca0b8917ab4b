#pragma once

#include <QHash>
#include <QSet>

namespace quarvex::standin {

// Thrown where a statement needs a table lock another session holds: the
// batch runner sets the statement aside and runs it again later, until the
// session's lock time-out has passed.
struct LockWait {
    int objectId = 0;
};

// The table locks of all sessions, by spid: shared locks that readers take
// with TABLOCK or HOLDLOCK, and the exclusive lock a writer takes for the
// table it changes. A lock taken inside a transaction is held to its end;
// outside one, a statement only waits for the locks of others. No
// deadlock is looked for: a lock time-out ends the wait.
class TableLocks {
public:
    // Throws LockWait when another session holds the table exclusively.
    void share(int spid, int objectId, bool hold);
    // Throws LockWait when another session holds the table in any way.
    void write(int spid, int objectId, bool hold);
    void releaseAll(int spid);

private:
    struct Holders {
        QSet<int> shared;
        int exclusive = 0; // its spid
    };
    QHash<int, Holders> m_tables;
};

} // namespace quarvex::standin
