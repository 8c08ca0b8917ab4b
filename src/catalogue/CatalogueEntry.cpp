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
    return ListEntry{entryText(kind, name, owner, id), ObjectRef{kind, name, owner, id}};
}

} // namespace quarvex
