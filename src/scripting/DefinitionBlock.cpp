#include "scripting/DefinitionBlock.h"

#include "base/ProcedureError.h"
#include "scripting/BoxPrint.h"
#include "scripting/ModuleHeader.h"

namespace quarvex {

namespace {

bool isControlOrBlank(QChar c) {
    return c.unicode() <= 32;
}

// Upper case one UTF-16 unit at a time, so that positions in the result are
// positions in the original (QString::toUpper turns "ß" into "SS").
QString upperSameLength(const QString& text) {
    QString upper = text;
    for (QChar& c : upper)
        c = c.toUpper();
    return upper;
}

QString trimmedControlsAndBlanks(const QString& text) {
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && isControlOrBlank(text[start]))
        ++start;
    while (end > start && isControlOrBlank(text[end - 1]))
        --end;
    return text.mid(start, end - start);
}

QString couldNotLocate(const QString& what) {
    return QLatin1String("Could not locate ") + what + QLatin1String(" when generating script");
}

// The first occurrence of the marker from position from on that stands as a
// whole word between blanks, tabs or line breaks; -1 when there is none.
qsizetype wholeWordMarker(const QString& upper, const QString& marker, qsizetype from) {
    for (qsizetype at = upper.indexOf(marker, from); at >= 0; at = upper.indexOf(marker, at + 1)) {
        const qsizetype after = at + marker.size();
        if (at > 0 && isControlOrBlank(upper[at - 1]) && after < upper.size() &&
            isControlOrBlank(upper[after]))
            return at;
    }
    return -1;
}

// Whether the word after CREATE is the kind's: "PROCEDURE" counts for "PROC".
bool isKeywordOf(const ObjectKindFacts& kind, const QString& keyword) {
    const QString upper = keyword.toUpper();
    return upper == kind.createWord ||
           (kind.createWord == QLatin1StringView("PROC") && upper == u"PROCEDURE");
}

// One definition as its own batch, edited as asked.
QString definitionBatch(const ObjectKindFacts& kind, const QString& definition,
                        const DefinitionBlockOptions& options) {
    QString text = trimmedControlsAndBlanks(definition);
    if (!text.endsWith(u'\n'))
        text += QLatin1String("\r\n");
    text += QLatin1String("GO\r\n\r\n");

    // The CREATE that is code, not one in a comment before it.
    const std::optional<ModuleHeader> header = moduleHeader(text);
    if (!header)
        raise(couldNotLocate(QStringLiteral("CREATE statement")));
    if (!isKeywordOf(kind, header->keyword))
        raise(couldNotLocate(QLatin1String("CREATE ") + kind.createWord +
                             QLatin1String(" statement")));

    if (options.createOrAlter || options.alter)
        text = text.left(header->createAt) +
               QLatin1String(options.createOrAlter ? "CREATE OR ALTER" : "ALTER") +
               text.mid(header->verbEnd);

    if (options.encrypt) {
        const qsizetype at =
            wholeWordMarker(upperSameLength(text), kind.encryptionMarker, header->createAt);
        if (at < 0)
            raise(couldNotLocate(QStringLiteral("place to insert WITH ENCRYPTION")));
        text = text.left(at) + QLatin1String("\r\nWITH ENCRYPTION\r\n") + text.mid(at);
    }
    return text;
}

QLatin1StringView noteVerb(const DefinitionBlockOptions& options) {
    if (options.createOrAlter)
        return QLatin1StringView("Creating or altering ");
    return QLatin1StringView(options.alter ? "Altering " : "Creating ");
}

} // namespace

QString definitionBlock(const ObjectKindFacts& kind, const QString& displayName,
                        const QStringList& definitions, const DefinitionBlockOptions& options) {
    const QString note = noteVerb(options) +
                         QLatin1String(options.encrypt ? "(With Encryption) " : "") + displayName +
                         QLatin1String("...");
    QString text = BoxPrint(note);
    text.chop(2); // the note ends with "GO" and one line break
    for (const QString& definition : definitions)
        text += definitionBatch(kind, definition, options);
    return text;
}

} // namespace quarvex
