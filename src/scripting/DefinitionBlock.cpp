#include "scripting/DefinitionBlock.h"

#include "base/Blanks.h"
#include "base/ProcedureError.h"
#include "scripting/BoxPrint.h"

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

// The end of "CREATE" or of a stored "CREATE OR ALTER" whose CREATE ends at
// afterCreate; the words may stand apart by any blanks or line breaks.
qsizetype endOfCreateVerb(const QString& upper, qsizetype afterCreate) {
    qsizetype at = afterCreate;
    const auto skipBlanks = [&] {
        const qsizetype from = at;
        while (at < upper.size() && isControlOrBlank(upper[at]))
            ++at;
        return at > from;
    };
    if (!skipBlanks() || !QStringView(upper).mid(at).startsWith(u"OR"))
        return afterCreate;
    at += 2;
    if (!skipBlanks() || !QStringView(upper).mid(at).startsWith(u"ALTER"))
        return afterCreate;
    at += 5;
    return at < upper.size() && isControlOrBlank(upper[at]) ? at : afterCreate;
}

// One definition as its own batch, edited as asked.
QString definitionBatch(const ObjectKindFacts& kind, const QString& definition,
                        const DefinitionBlockOptions& options) {
    // The line break in front stands for the end of the line before, so that
    // a definition that begins with CREATE is found like any other line.
    QString text = QLatin1Char('\n') + trimmedControlsAndBlanks(definition);
    if (!text.endsWith(u'\n'))
        text += QLatin1String("\r\n");
    text += QLatin1String("GO\r\n\r\n");

    // CREATE counts only at the start of a line.
    const qsizetype lineFeed = upperSameLength(text).indexOf(QLatin1String("\nCREATE"));
    if (lineFeed < 0)
        raise(couldNotLocate(QStringLiteral("CREATE statement")));
    const qsizetype afterCreate = lineFeed + 7;
    const qsizetype afterVerb = endOfCreateVerb(upperSameLength(text), afterCreate);
    if (!upperSameLength(trimmedBlanks(QStringView(text).mid(afterVerb)))
             .startsWith(kind.createWord))
        raise(couldNotLocate(QLatin1String("CREATE ") + kind.createWord +
                             QLatin1String(" statement")));

    if (options.createOrAlter)
        text = text.left(lineFeed) + QLatin1String("\nCREATE OR ALTER") + text.mid(afterVerb);
    else if (options.alter)
        text = text.left(lineFeed) + QLatin1String("\nALTER") + text.mid(afterVerb);

    if (options.encrypt) {
        const qsizetype at =
            wholeWordMarker(upperSameLength(text), kind.encryptionMarker, lineFeed + 1);
        if (at < 0)
            raise(couldNotLocate(QStringLiteral("place to insert WITH ENCRYPTION")));
        text = text.left(at) + QLatin1String("\r\nWITH ENCRYPTION\r\n") + text.mid(at);
    }
    return text.mid(1);
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
