#include "app/FieldAtFault.h"

#include "catalogue/CatalogueFilter.h"

#include <array>
#include <utility>

namespace quarvex {

namespace {

// The filter boxes in the order of the page, with what each holds.
std::array<std::pair<QString, QString>, 5> filterBoxes(const CatalogueFilters& filters) {
    return {{{QStringLiteral("txtProcFilt"), filters.procs},
             {QStringLiteral("txtTrigFilt"), filters.triggers},
             {QStringLiteral("txtTblFilt"), filters.tables},
             {QStringLiteral("txtViewFilt"), filters.views},
             {QStringLiteral("txtFuncFilt"), filters.functions}}};
}

QString faultyFilter(const CatalogueFilters& filters) {
    for (const auto& [box, filter] : filterBoxes(filters))
        if (filterFault(filter))
            return box;
    return {};
}

QString likeliestFilter(const CatalogueFilters& filters, const QString& lastEdited) {
    const auto boxes = filterBoxes(filters);
    for (const auto& [box, filter] : boxes)
        if (box == lastEdited && !filter.isEmpty())
            return box;
    for (const auto& [box, filter] : boxes)
        if (!filter.isEmpty())
            return box;
    return boxes.front().first;
}

// A refused login: its SQLSTATE, and SQL Server's error "Login failed". A
// database the login cannot open is refused the same way, and the failure
// keeps the facts of its first record only, so it counts as a refused login.
const QString loginRefused = QStringLiteral("28000");
constexpr qint32 loginFailed = 18456;

} // namespace

QString fieldAtFault(const Failure& failure, const Settings& settings,
                     const QString& lastEditedFilter) {
    // The listing checks its filters before it connects.
    if (const QString box = faultyFilter(settings.filters); !box.isEmpty())
        return box;
    // Only the catalogue query carries the user's text to the server.
    if (failure.kind == FailureKind::Refused && !failure.statement.isEmpty())
        return likeliestFilter(settings.filters, lastEditedFilter);
    if (failure.sqlState == loginRefused || failure.nativeError == loginFailed)
        return settings.connection.userId.isEmpty() ? QStringLiteral("txtUserID")
                                                    : QStringLiteral("txtPassword");
    return QStringLiteral("txtServer");
}

} // namespace quarvex
