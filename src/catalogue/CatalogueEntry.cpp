#include "catalogue/CatalogueEntry.h"

#include "base/ProcedureError.h"

namespace quarvex {

ObjectKind kindOfTypeCode(const QString& typeCode) {
    if (typeCode == QLatin1String("U"))
        return ObjectKind::Table;
    if (typeCode == QLatin1String("P"))
        return ObjectKind::Proc;
    if (typeCode == QLatin1String("TR"))
        return ObjectKind::Trigger;
    if (typeCode == QLatin1String("V"))
        return ObjectKind::View;
    if (typeCode == QLatin1String("FN"))
        return ObjectKind::Function;
    raiseUnexpectedCase();
}

QString entryPrefix(ObjectKind kind) {
    switch (kind) {
    case ObjectKind::Table:
        return QStringLiteral("Table:");
    case ObjectKind::Proc:
        return QStringLiteral("Proc: ");
    case ObjectKind::Trigger:
        return QStringLiteral("Trig: ");
    case ObjectKind::View:
        return QStringLiteral("View: ");
    case ObjectKind::Function:
        return QStringLiteral("Func: ");
    }
    raiseUnexpectedCase();
}

QString entryText(ObjectKind kind, const QString& name, const QString& owner, qint32 id) {
    return entryPrefix(kind) + QLatin1Char('\t') + name + QLatin1String(" (") + owner +
           QLatin1String(") ") + QLatin1String("\t\t\t\t\t") + QString::number(id);
}

ListEntry catalogueEntry(ObjectKind kind, const QString& name, const QString& owner, qint32 id) {
    return ListEntry{entryText(kind, name, owner, id), ObjectRef{kind, name, owner, id}};
}

} // namespace quarvex
