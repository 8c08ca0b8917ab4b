#include "catalogue/CatalogueEntry.h"

#include "base/ProcedureError.h"
#include "model/ObjectKinds.h"

namespace quarvex {

ObjectKind kindOfTypeCode(const QString& typeCode) {
    const ObjectKindFacts* facts = kindOfCatalogueType(typeCode);
    if (!facts)
        raiseUnexpectedCase();
    return facts->kind;
}

QString entryText(ObjectKind kind, const QString& name, const QString& owner, qint32 id) {
    return factsOf(kind).listPrefix + QLatin1Char('\t') + name + QLatin1String(" (") + owner +
           QLatin1String(") ") + QLatin1String("\t\t\t\t\t") + QString::number(id);
}

ListEntry catalogueEntry(ObjectKind kind, const QString& name, const QString& owner, qint32 id) {
    return ListEntry{entryText(kind, name, owner, id), ObjectRef{kind, name, owner, id, {}}};
}

ListEntry objectEntry(const ObjectRef& object) {
    QString text = entryText(object.kind, object.name, object.owner, object.id);
    if (!object.rowFilter.isEmpty()) {
        const qsizetype tabs = text.lastIndexOf(QLatin1String(") \t")) + 2;
        text.insert(tabs, QLatin1String("where ") + object.rowFilter);
    }
    return ListEntry{text, object};
}

} // namespace quarvex
