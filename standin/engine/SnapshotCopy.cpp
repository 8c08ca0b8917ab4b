#include "standin/engine/SnapshotCopy.h"

#include "standin/engine/SqlFunctions.h"

#include <sqlite3.h>

namespace quarvex::standin {

// Serialised rather than backed up: a backup refuses a source with a write
// transaction open, and another session's savepoint may well be.
sqlite3* snapshotCopy(sqlite3* db, EngineContext* engine) {
    sqlite3* copy = nullptr;
    if (sqlite3_open(":memory:", &copy) != SQLITE_OK) {
        sqlite3_close_v2(copy);
        return nullptr;
    }
    sqlite3_int64 size = 0;
    unsigned char* bytes = sqlite3_serialize(db, "main", &size, 0);
    // On failure the bytes are freed by the call itself.
    if (!bytes || sqlite3_deserialize(copy, "main", bytes, size, size,
                                      SQLITE_DESERIALIZE_FREEONCLOSE |
                                          SQLITE_DESERIALIZE_RESIZEABLE) != SQLITE_OK) {
        sqlite3_close_v2(copy);
        return nullptr;
    }
    sqlite3_db_config(copy, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(copy, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    registerSqlFunctions(copy, engine);
    return copy;
}

} // namespace quarvex::standin
