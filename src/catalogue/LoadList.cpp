#include "catalogue/LoadList.h"

#include "base/Blanks.h"
#include "base/ProcedureError.h"
#include "catalogue/CatalogueEntry.h"
#include "catalogue/CatalogueFilter.h"
#include "catalogue/FilteredOut.h"
#include "db/OdbcConnection.h"
#include "db/RecordSet.h"
#include "db/ServerConnection.h"
#include "model/ReportingForm.h"
#include "model/RunState.h"
#include "model/Toolkit.h"

#include <optional>

namespace quarvex {

const QString& cancelledListingText() {
    static const QString text = QStringLiteral("Listing cancelled");
    return text;
}

std::optional<Failure> LoadList(Toolkit& toolkit, RunState& runState,
                                const ConnectionSettings& connection,
                                const CatalogueFilters& filters) {
    std::optional<OdbcConnection> conn;
    std::optional<RecordSet> records;
    bool listCleared = false;

    const auto failure = failureOf([&] {
        // Before anything is sent: a filter that is more than a condition
        // could change the database.
        checkCatalogueFilters(filters);
        toolkit.setBusy(true);
        conn.emplace();
        conn->stopWith(toolkit.cancellation());
        OpenConnection(*conn, connection);
        const bool sql2005Plus = IsSQL2005Plus(*conn);
        records.emplace(*conn, catalogueQuery(sql2005Plus, filters));

        ObjectList& list = toolkit.objectList();
        list.clear();
        listCleared = true;
        qint32 count = 0;
        KindCounts listed;
        for (; !records->atEnd(); records->moveNext()) {
            toolkit.cancellation().raiseIfCancelled();
            const ObjectKind kind = kindOfTypeCode(trimmedBlanks(records->value(2).toString()));
            const QString name = records->value(0).toString();
            list.append(catalogueEntry(kind, name, records->value(1).toString(),
                                       qint32(records->value(3).toLongLong())));
            ++count;
            ++listed[kind];
            toolkit.setStatus(QString::number(count) + QLatin1String(" - ") + name);
        }
        records->close();
        // A newcomer whose object is missing learns that a filter, not the
        // database, keeps it out.
        const QString hidden = hiddenByFiltersText(countCatalogue(*conn, sql2005Plus), listed);
        toolkit.setStatus(QString::number(count) +
                          QLatin1String(" tables/procs/triggers/views/functions listed") +
                          (hidden.isEmpty() ? QString() : QLatin1String("; ") + hidden));
        conn->close();
        toolkit.setBusy(false);
    });
    if (!failure)
        return std::nullopt;

    records.reset();
    conn.reset();
    // A list cut short would look whole once the message is gone.
    if (listCleared)
        toolkit.objectList().clear();
    toolkit.setBusy(false);
    if (toolkit.cancellation().isCancelled()) {
        toolkit.setStatus(cancelledListingText());
        return *failure;
    }
    Failure reported = prefixed(*failure, QStringLiteral("LoadList"));
    reported.description = AppendErrorContext(reported.description, failure->statement);
    reportFailure(toolkit, runState, reported.description);
    return reported;
}

} // namespace quarvex
