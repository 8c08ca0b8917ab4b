#pragma once

#include "model/CatalogueFilters.h"
#include "model/ObjectRef.h"

#include <QLatin1StringView>
#include <QString>
#include <array>

namespace quarvex {

// Every fact about one kind of object, for the catalogue, the scripters, the
// script run and the command line alike. Adding a kind is adding a row.
struct ObjectKindFacts {
    ObjectKind kind;
    QLatin1StringView typeCode;         // in the catalogue: "U", "P", "TR", "V", "FN"
    QLatin1StringView listPrefix;       // six characters before the TAB of a list entry
    QLatin1StringView kindWord;         // in messages: "Table", "Proc", ...
    QLatin1StringView commandWord;      // on the command line and in its listing: "table", ...
    QLatin1StringView fileName;         // its script file
    QLatin1StringView headerWord;       // in the header and footer notes of that file
    QLatin1StringView countWord;        // in the status line after a run: "tables", ...
    QLatin1StringView createWord;       // what must follow CREATE in its source (none for tables)
    QLatin1StringView encryptionMarker; // WITH ENCRYPTION goes in front of it (none for tables)
    QString CatalogueFilters::*filter;  // the user's condition for the kind
};

// The five kinds in the order of their script files.
const std::array<ObjectKindFacts, 5>& objectKinds();

const ObjectKindFacts& factsOf(ObjectKind kind);

// The kind of a catalogue type code, compared exactly; nullptr for any other.
const ObjectKindFacts* kindOfCatalogueType(const QString& typeCode);

// The scratch file a table's rows are gathered in before they join "Tables.sql".
inline constexpr QLatin1StringView scratchFileName{"Temp.sql"};

// The hidden name under which a run writes a script file until the run has
// finished; then the file takes the script file's place.
inline QString stagedFileName(QLatin1StringView fileName) {
    return QLatin1Char('.') + fileName + QLatin1String(".quarvex-new");
}

} // namespace quarvex
