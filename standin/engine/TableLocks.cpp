#include "standin/engine/TableLocks.h"

namespace quarvex::standin {

void TableLocks::share(int spid, int objectId, bool hold) {
    Holders& holders = m_tables[objectId];
    if (holders.exclusive != 0 && holders.exclusive != spid)
        throw LockWait{objectId};
    if (hold)
        holders.shared.insert(spid);
}

void TableLocks::write(int spid, int objectId, bool hold) {
    Holders& holders = m_tables[objectId];
    const bool sharedByOthers = holders.shared.size() > (holders.shared.contains(spid) ? 1 : 0);
    if ((holders.exclusive != 0 && holders.exclusive != spid) || sharedByOthers)
        throw LockWait{objectId};
    if (hold)
        holders.exclusive = spid;
}

void TableLocks::releaseAll(int spid) {
    for (auto it = m_tables.begin(); it != m_tables.end();) {
        it->shared.remove(spid);
        if (it->exclusive == spid)
            it->exclusive = 0;
        it = it->shared.isEmpty() && it->exclusive == 0 ? m_tables.erase(it) : std::next(it);
    }
}

} // namespace quarvex::standin
