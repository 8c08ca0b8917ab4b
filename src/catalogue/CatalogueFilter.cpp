#include "catalogue/CatalogueFilter.h"

#include "base/ProcedureError.h"
#include "model/ObjectKinds.h"

namespace quarvex {

namespace {

QChar closingDelimiter(QChar c) {
    if (c == u'\'' || c == u'"')
        return c;
    if (c == u'[')
        return u']';
    return {};
}

// The index just past the quoted part that starts at start, whose closing
// character stands doubled inside it; -1 when it is never closed.
qsizetype endOfQuoted(const QString& text, qsizetype start, QChar close) {
    for (qsizetype i = start + 1; i < text.size(); ++i) {
        if (text[i] != close)
            continue;
        if (i + 1 < text.size() && text[i + 1] == close)
            ++i;
        else
            return i + 1;
    }
    return -1;
}

} // namespace

std::optional<QString> filterFault(const QString& condition) {
    int depth = 0;
    for (qsizetype i = 0; i < condition.size();) {
        const QChar c = condition[i];
        if (const QChar close = closingDelimiter(c); !close.isNull()) {
            // An open quote would take the query text after the filter, and
            // so flip what counts as quoted in the next filter.
            i = endOfQuoted(condition, i, close);
            if (i < 0)
                return QStringLiteral("its quoted text or bracketed name is not closed");
            continue;
        }
        const QStringView pair = QStringView(condition).mid(i, 2);
        if (pair == u"--" || pair == u"/*")
            return QStringLiteral("it holds a comment start");
        if (c == u';')
            return QStringLiteral("it holds \";\"");
        if (c == u'(')
            ++depth;
        else if (c == u')' && --depth < 0)
            return QStringLiteral("it closes a parenthesis it did not open");
        ++i;
    }
    return std::nullopt;
}

void checkCatalogueFilters(const CatalogueFilters& filters) {
    for (const ObjectKindFacts& kind : objectKinds()) {
        const QString& condition = filters.*kind.filter;
        if (const auto fault = filterFault(condition))
            raise(QStringLiteral("The %1 filter \"%2\" is not a single condition: %3")
                      .arg(kind.commandWord, condition, *fault));
    }
}

} // namespace quarvex
