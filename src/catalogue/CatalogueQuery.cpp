#include "catalogue/CatalogueQuery.h"

#include "model/ObjectKinds.h"

#include <QStringList>

namespace quarvex {

QString catalogueQuery(bool sql2005Plus, const CatalogueFilters& filters) {
    QStringList typeCodes;
    for (const ObjectKindFacts& kind : objectKinds())
        typeCodes.append(QLatin1Char('\'') + kind.typeCode + QLatin1Char('\''));
    const QString inner =
        (sql2005Plus ? QLatin1String("select name,schema_name(schema_id) owner,type,object_id id "
                                     "from sys.objects where type in (")
                     : QLatin1String("select name,user_name(uid) owner,xtype type,id "
                                     "from sysobjects where xtype in (")) +
        typeCodes.join(QLatin1Char(',')) + QLatin1Char(')');
    const QString source = QLatin1Char('(') + inner + QLatin1String(") as v ");

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

} // namespace quarvex
