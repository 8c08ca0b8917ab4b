#include "cli/ObjectSelection.h"

#include "base/ControlCharacters.h"
#include "base/ProcedureError.h"
#include "model/ObjectKinds.h"

#include <algorithm>

namespace quarvex::cli {

QString listingKindWord(ObjectKind kind) {
    return factsOf(kind).commandWord;
}

namespace {

bool matches(const ObjectRef& object, const QString& kind, const QString& ownerAndName) {
    if (kind == QLatin1String("id")) {
        bool ok = false;
        const qint32 id = ownerAndName.toInt(&ok);
        return ok && object.id == id;
    }
    // As stored, or as the listing writes it.
    return listingKindWord(object.kind) == kind &&
           (object.owner + QLatin1Char('.') + object.name == ownerAndName ||
            cEscaped(object.owner) + QLatin1Char('.') + cEscaped(object.name) == ownerAndName);
}

bool isObjectName(const QString& argument) {
    const qsizetype colon = argument.indexOf(u':');
    if (colon < 0)
        return false;
    const QString kind = argument.left(colon);
    const QString rest = argument.mid(colon + 1);
    if (kind == QLatin1String("id")) {
        bool ok = false;
        rest.toInt(&ok);
        return ok;
    }
    const qsizetype dot = rest.indexOf(u'.');
    return dot > 0 && dot < rest.size() - 1 &&
           std::any_of(objectKinds().begin(), objectKinds().end(),
                       [&](const ObjectKindFacts& facts) { return facts.commandWord == kind; });
}

QList<int> matchingRows(const ObjectList& list, const QString& kind, const QString& ownerAndName) {
    QList<int> found;
    for (int i = 0; i < list.count(); ++i)
        if (matches(list.entry(i).object, kind, ownerAndName))
            found.append(i);
    return found;
}

} // namespace

void checkObjectNames(const QStringList& names) {
    for (const QString& argument : names)
        if (!isObjectName(argument))
            raise(QLatin1String("Not an object name (KIND:OWNER.NAME or id:NUMBER): ") + argument);
}

QList<ObjectRef> selectObjects(const ObjectList& list, const QStringList& names,
                               const std::function<QString(const QString&)>& whyMissing) {
    checkObjectNames(names);
    QList<ObjectRef> objects;
    for (const QString& argument : names) {
        const qsizetype colon = argument.indexOf(u':');
        const QString kind = argument.left(colon);
        const QString rest = argument.mid(colon + 1);
        const QList<int> found = matchingRows(list, kind, rest);
        if (found.isEmpty())
            raise(QLatin1String("No listed object matches ") + argument +
                  (whyMissing ? QLatin1String(": ") + whyMissing(argument) : QString()));
        if (found.size() > 1)
            raise(QLatin1String("Several listed objects match ") + argument);
        const ObjectRef object = list.entry(found.first()).object;
        if (objects.contains(object))
            raise(QLatin1String("Named twice: ") + argument);
        objects.append(object);
    }
    return objects;
}

QString whyNotListed(const QString& name, const ObjectList& unfiltered,
                     const CatalogueFilters& filters) {
    const qsizetype colon = name.indexOf(u':');
    const QList<int> found = matchingRows(unfiltered, name.left(colon), name.mid(colon + 1));
    if (found.isEmpty())
        return QStringLiteral("the database has no such object");
    const ObjectKindFacts& facts = factsOf(unfiltered.entry(found.first()).object.kind);
    const QString& filter = filters.*facts.filter;
    if (filter.isEmpty())
        return QStringLiteral("it exists, but was not listed");
    return QStringLiteral("it exists, but the %1 filter \"%2\" hides it (--%1-filter changes it; "
                          "--%1-filter '' lists every %3)")
        .arg(facts.commandWord, filter, facts.headerWord.toString().toLower());
}

int positionOf(const ObjectList& list, const ObjectRef& object) {
    for (int i = 0; i < list.count(); ++i)
        if (list.entry(i).object == object)
            return i;
    return -1;
}

} // namespace quarvex::cli
