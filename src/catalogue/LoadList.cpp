#include "catalogue/LoadList.h"

#include "base/Blanks.h"
#include "base/ProcedureError.h"
#include "catalogue/CatalogueEntry.h"
#include "catalogue/CatalogueFilter.h"
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

bool LoadList(Toolkit& toolkit, RunState& runState, const ConnectionSettings& connection,
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
        records.emplace(*conn, catalogueQuery(IsSQL2005Plus(*conn), filters));

        ObjectList& list = toolkit.objectList();
        list.clear();
        listCleared = true;
        qint32 count = 0;
        for (; !records->atEnd(); records->moveNext()) {
            toolkit.cancellation().raiseIfCancelled();
            const ObjectKind kind = kindOfTypeCode(trimmedBlanks(records->value(2).toString()));
            const QString name = records->value(0).toString();
            list.append(catalogueEntry(kind, name, records->value(1).toString(),
                                       qint32(records->value(3).toLongLong())));
            ++count;
            toolkit.setStatus(QString::number(count) + QLatin1String(" - ") + name);
        }
        toolkit.setStatus(QString::number(count) +
                          QLatin1String(" tables/procs/triggers/views/functions listed"));
        records->close();
        conn->close();
        toolkit.setBusy(false);
    });
    if (!failure)
        return true;

    records.reset();
    conn.reset();
    // A list cut short would look whole once the message is gone.
    if (listCleared)
        toolkit.objectList().clear();
    toolkit.setBusy(false);
    if (toolkit.cancellation().isCancelled()) {
        toolkit.setStatus(cancelledListingText());
        return false;
    }
    reportFailure(
        toolkit, runState,
        AppendErrorContext(QLatin1String("LoadList: ") + failure->description, failure->statement));
    return false;
}

} // namespace quarvex
