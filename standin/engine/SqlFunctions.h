#pragma once

#include <QString>

struct sqlite3;

namespace quarvex::standin {

class EngineContext;

// Registers the collation "tsql" and the tsql_* functions the translator
// emits. Errors travel as "tsql:NUMBER:SEVERITY:STATE:BATCHABORT:message".
void registerSqlFunctions(sqlite3* db, EngineContext* engine);

// SQL Server's LIKE: % any run, _ one character, [abc], [a-f] and [^abc]
// sets, optional escape character; case-insensitive, and trailing blanks of
// the value do not count.
bool likeMatches(const QString& value, const QString& pattern, QChar escape = QChar());

} // namespace quarvex::standin
