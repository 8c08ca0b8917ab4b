#pragma once

#include <QString>
#include <optional>

namespace quarvex {

// The name a module's stored text gives it in its CREATE statement.
struct ModuleHeaderName {
    QString written; // as it stands in the text: "dbo.spOld", "[dbo].[sp Old]"
    QString owner;   // unquoted; empty when the text names none
    QString name;    // unquoted
};

// Reads CREATE [OR ALTER] KEYWORD NAME at the start of a stored definition,
// past blanks and comments, as SQL Server reads it: brackets and double
// quotes with their doubled closing character, blanks and comments around
// the dots, an optional owner (and database). For a numbered procedure the
// ";number" is not part of the name. nullopt when the text does not begin so.
std::optional<ModuleHeaderName> moduleHeaderName(const QString& definition);

// Whether the header names the listed object: the name, and the owner when
// the header gives one, compared without regard to letter case as the
// server's default collation compares them.
bool namesListedObject(const ModuleHeaderName& header, const QString& owner, const QString& name);

} // namespace quarvex
