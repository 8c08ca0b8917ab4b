#include "catalogue/FilteredOut.h"

#include "base/Blanks.h"
#include "catalogue/CatalogueQuery.h"
#include "db/RecordSet.h"
#include "model/ObjectKinds.h"

#include <QStringList>

namespace quarvex {

KindCounts countCatalogue(OdbcConnection& connection, bool sql2005Plus) {
    KindCounts counts;
    RecordSet records(connection, catalogueCountQuery(sql2005Plus));
    for (; !records.atEnd(); records.moveNext()) {
        // The older catalogue pads its type codes with a blank.
        if (const ObjectKindFacts* facts =
                kindOfCatalogueType(trimmedBlanks(records.value(0).toString())))
            counts[facts->kind] += records.value(1).toInt();
    }
    records.close();
    return counts;
}

namespace {

// "1 procedure", "3 procedures".
QString countedNoun(int count, const ObjectKindFacts& facts) {
    const QString noun = facts.headerWord.toString().toLower();
    return QString::number(count) + QLatin1Char(' ') + noun +
           (count == 1 ? QString() : QStringLiteral("s"));
}

} // namespace

QString hiddenByFiltersText(const KindCounts& catalogue, const KindCounts& listed) {
    QStringList parts;
    for (const ObjectKindFacts& facts : objectKinds()) {
        const int hidden = catalogue.value(facts.kind) - listed.value(facts.kind);
        if (hidden > 0)
            parts.append(countedNoun(hidden, facts));
    }
    if (parts.isEmpty())
        return {};
    const QString last = parts.takeLast();
    return QStringLiteral("the filters hide ") +
           (parts.isEmpty() ? last
                            : parts.join(QLatin1String(", ")) + QLatin1String(" and ") + last);
}

} // namespace quarvex
