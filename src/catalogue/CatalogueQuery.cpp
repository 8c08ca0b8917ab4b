#include "catalogue/CatalogueQuery.h"

#include "model/ObjectKinds.h"

#include <QStringList>

namespace quarvex {

namespace {

// Every object of the five kinds as the four columns name, owner, type and
// id, from either generation's catalogue.
QString objectsSource(bool sql2005Plus) {
    QStringList typeCodes;
    for (const ObjectKindFacts& kind : objectKinds())
        typeCodes.append(QLatin1Char('\'') + kind.typeCode + QLatin1Char('\''));
    const QString inner =
        (sql2005Plus ? QLatin1String("select name,schema_name(schema_id) owner,type,object_id id "
                                     "from sys.objects where type in (")
                     : QLatin1String("select name,user_name(uid) owner,xtype type,id "
                                     "from sysobjects where xtype in (")) +
        typeCodes.join(QLatin1Char(',')) + QLatin1Char(')');
    return QLatin1Char('(') + inner + QLatin1String(") as v ");
}

} // namespace

QString catalogueQuery(bool sql2005Plus, const CatalogueFilters& filters) {
    const QString source = objectsSource(sql2005Plus);
    QStringList parts;
    for (const ObjectKindFacts& kind : objectKinds()) {
        const QString& filter = filters.*kind.filter;
        QString part = QLatin1String("select * from ") + source + QLatin1String("where type='") +
                       kind.typeCode + QLatin1String("' ");
        if (!filter.isEmpty())
            part += QLatin1String("and (") + filter + QLatin1String(") ");
        parts.append(part);
    }
    return parts.join(QLatin1String("union ")) + QLatin1String("order by 3,1,2 ");
}

QString catalogueCountQuery(bool sql2005Plus) {
    return QLatin1String("select type,count(*) n from ") + objectsSource(sql2005Plus) +
           QLatin1String("group by type");
}

} // namespace quarvex
