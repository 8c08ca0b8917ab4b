#include "catalogue/CatalogueQuery.h"

#include <QStringList>

namespace quarvex {

QString catalogueQuery(bool sql2005Plus, const CatalogueFilters& filters) {
    const QString inner =
        sql2005Plus ? QStringLiteral("select name,schema_name(schema_id) owner,type,object_id id "
                                     "from sys.objects where type in ('U','P','TR','V','FN')")
                    : QStringLiteral("select name,user_name(uid) owner,xtype type,id "
                                     "from sysobjects where xtype in ('U','P','TR','V','FN')");
    const QString source = QLatin1Char('(') + inner + QLatin1String(") as v ");

    const struct {
        const char* typeCode;
        const QString& filter;
    } blocks[] = {{"U", filters.tables},
                  {"P", filters.procs},
                  {"TR", filters.triggers},
                  {"V", filters.views},
                  {"FN", filters.functions}};

    QStringList parts;
    for (const auto& block : blocks) {
        QString part = QLatin1String("select * from ") + source + QLatin1String("where type='") +
                       QLatin1String(block.typeCode) + QLatin1String("' ");
        if (!block.filter.isEmpty())
            part += QLatin1String("and (") + block.filter + QLatin1String(") ");
        parts.append(part);
    }
    return parts.join(QLatin1String("union ")) + QLatin1String("order by 3,1,2 ");
}

} // namespace quarvex
