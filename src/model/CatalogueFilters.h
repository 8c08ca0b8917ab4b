#pragma once

#include <QString>

namespace quarvex {

// The user's SQL conditions, one per kind, inserted into the catalogue query
// as typed.
struct CatalogueFilters {
    QString tables;
    QString procs;
    QString triggers;
    QString views;
    QString functions;
};

} // namespace quarvex
