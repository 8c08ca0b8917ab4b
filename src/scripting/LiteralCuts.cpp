#include "scripting/LiteralCuts.h"

#include <algorithm>

namespace quarvex {

namespace {

bool isBlank(QChar c) {
    return c.isSpace() && c != u'\n';
}

bool isWordCharacter(QChar c) {
    return c.isLetterOrNumber() || c == u'_';
}

// A line that tsql or sqlcmd takes as a command of its own instead of a line
// of the batch: one whose first word is GO or a word that quits (exit, quit,
// bye), drops the batch typed so far (reset, version) or starts an editor
// (ed), in any letter case; or one starting with ":" or "!!". Blanks before
// it do not count. Splitting more lines than strictly needed costs nothing;
// splitting one too few breaks the script.
bool isCommandLine(QStringView line) {
    qsizetype start = 0;
    while (start < line.size() && isBlank(line[start]))
        ++start;
    line = line.mid(start);
    if (line.startsWith(u':') || line.startsWith(u"!!"))
        return true;
    qsizetype end = 0;
    while (end < line.size() && isWordCharacter(line[end]))
        ++end;
    static const char16_t* const commands[] = {u"go",    u"exit",    u"quit", u"bye",
                                               u"reset", u"version", u"ed"};
    const QStringView word = line.left(end);
    return std::any_of(std::begin(commands), std::end(commands), [word](const char16_t* command) {
        return word.compare(QStringView(command), Qt::CaseInsensitive) == 0;
    });
}

bool isLineBreakAt(QStringView text, qsizetype i) {
    return (i < text.size() && text[i] == u'\n') ||
           (i + 1 < text.size() && text[i] == u'\r' && text[i + 1] == u'\n');
}

} // namespace

QList<qsizetype> literalCuts(QStringView text) {
    QList<qsizetype> cuts;
    const auto cutAt = [&](qsizetype position) {
        if (position > 0 && position < text.size() && (cuts.isEmpty() || cuts.last() < position))
            cuts.append(position);
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\' && isLineBreakAt(text, i + 1)) {
            cutAt(i + 1);
        } else if (c == u'\n') {
            qsizetype end = text.indexOf(u'\n', i + 1);
            if (end < 0)
                end = text.size();
            if (isCommandLine(text.mid(i + 1, end - i - 1)))
                cutAt(i + 1);
        } else if (c == u'(' && i > 0 && text[i - 1] == u'$') {
            cutAt(i);
        } else if (c.isNull()) {
            cutAt(i);
            cutAt(i + 1);
        }
    }
    return cuts;
}

} // namespace quarvex
