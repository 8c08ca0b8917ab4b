#pragma once

struct sqlite3;

namespace quarvex::standin {

class EngineContext;

// A database connection of its own holding what db holds now, uncommitted
// changes of any session included, with the engine's SQL functions: what a
// snapshot transaction reads from. Null when SQLite cannot copy it. Close
// it with sqlite3_close_v2.
sqlite3* snapshotCopy(sqlite3* db, EngineContext* engine);

} // namespace quarvex::standin
