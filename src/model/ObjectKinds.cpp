#include "model/ObjectKinds.h"

namespace quarvex {

using namespace Qt::Literals::StringLiterals;

const std::array<ObjectKindFacts, 5>& objectKinds() {
    static const std::array<ObjectKindFacts, 5> kinds = {{
        {ObjectKind::Table,
         "U"_L1,
         "Table:"_L1,
         "Table"_L1,
         "table"_L1,
         "Tables.sql"_L1,
         "TABLE"_L1,
         "tables"_L1,
         {},
         {},
         &CatalogueFilters::tables},
        {ObjectKind::Proc, "P"_L1, "Proc: "_L1, "Proc"_L1, "proc"_L1, "Procs.sql"_L1,
         "PROCEDURE"_L1, "procs"_L1, "PROC"_L1, "AS"_L1, &CatalogueFilters::procs},
        {ObjectKind::Trigger, "TR"_L1, "Trig: "_L1, "Trigger"_L1, "trigger"_L1, "Trigs.sql"_L1,
         "TRIGGER"_L1, "triggers"_L1, "TRIGGER"_L1, "FOR"_L1, &CatalogueFilters::triggers},
        {ObjectKind::View, "V"_L1, "View: "_L1, "View"_L1, "view"_L1, "Views.sql"_L1, "VIEW"_L1,
         "views"_L1, "VIEW"_L1, "AS"_L1, &CatalogueFilters::views},
        {ObjectKind::Function, "FN"_L1, "Func: "_L1, "Function"_L1, "function"_L1, "Funcs.sql"_L1,
         "FUNCTION"_L1, "functions"_L1, "FUNCTION"_L1, "AS"_L1, &CatalogueFilters::functions},
    }};
    return kinds;
}

const ObjectKindFacts& factsOf(ObjectKind kind) {
    for (const ObjectKindFacts& facts : objectKinds())
        if (facts.kind == kind)
            return facts;
    Q_UNREACHABLE(); // every kind has its row
}

const ObjectKindFacts* kindOfCatalogueType(const QString& typeCode) {
    for (const ObjectKindFacts& facts : objectKinds())
        if (typeCode == facts.typeCode)
            return &facts;
    return nullptr;
}

} // namespace quarvex
