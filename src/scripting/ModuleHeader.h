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

// The CREATE statement at the head of a module's stored text.
struct ModuleHeader {
    qsizetype createAt = 0;               // where the word CREATE begins
    qsizetype verbEnd = 0;                // just after CREATE, or after a stored CREATE OR ALTER
    QString keyword;                      // the word after that, as written; empty when none
    std::optional<ModuleHeaderName> name; // for a module keyword and a name that reads
};

// Finds the first CREATE that is code, as SQL Server reads it: comments
// ("--" to the line's end, "/* */", which nest), strings and quoted names
// are passed over, and blanks, line breaks and comments may stand between
// the words. The name: brackets and double quotes with their doubled
// closing character, blanks and comments around the dots, an optional owner
// (and database); for a numbered procedure the ";number" is not part of it.
// nullopt when the text holds no such CREATE.
std::optional<ModuleHeader> moduleHeader(const QString& definition);

// The name of moduleHeader, when it has one.
std::optional<ModuleHeaderName> moduleHeaderName(const QString& definition);

// Whether the header names the listed object: the name, and the owner when
// the header gives one, compared without regard to letter case as the
// server's default collation compares them.
bool namesListedObject(const ModuleHeaderName& header, const QString& owner, const QString& name);

// Why a module whose header names another object than the listed one is not
// scripted (it was renamed, or moved to another schema, since): its script
// would make or change that other object. nullopt when it names the listed
// one. The name as written is shown C-escaped.
std::optional<QString> unlistedHeaderFault(const ModuleHeaderName& header, const QString& owner,
                                           const QString& name);

} // namespace quarvex
