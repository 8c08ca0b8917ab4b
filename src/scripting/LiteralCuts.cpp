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

// A command that a batch runner takes from a line of its own, and which
// runners take it.
struct RunnerCommand {
    QString name;
    QLatin1StringView runners;
};

struct CommandWord {
    const char16_t* word;
    const char* runners;
};

// Words that make a line a command when they come first: GO, words that
// quit (exit, quit, bye), drop the batch typed so far (reset, version) or
// start an editor (ed), in any letter case.
constexpr CommandWord commandWords[] = {
    {u"go", "tsql and sqlcmd"}, {u"exit", "tsql and sqlcmd"},  {u"quit", "tsql and sqlcmd"},
    {u"bye", "tsql"},           {u"reset", "tsql and sqlcmd"}, {u"version", "tsql"},
    {u"ed", "sqlcmd"}};

// The command of a ":" line as a message may show it: the colon and the
// letters after it, nothing of what follows.
QString colonCommandName(QStringView line) {
    qsizetype end = 1;
    while (end < line.size() && end <= 16 && line[end].unicode() < 128 && line[end].isLetter())
        ++end;
    return line.left(end).toString();
}

// A line that tsql or sqlcmd takes as a command of its own instead of a line
// of the batch: one whose first word is one of the command words, or one
// starting with ":" or "!!". Blanks before it do not count. Splitting more
// lines than strictly needed costs a literal nothing; splitting one too few
// breaks the script.
std::optional<RunnerCommand> commandOfLine(QStringView line) {
    qsizetype start = 0;
    while (start < line.size() && isBlank(line[start]))
        ++start;
    line = line.mid(start);
    if (line.startsWith(u':')) {
        const QString name = colonCommandName(line);
        // tsql reads a file at ":r" too.
        const bool tsqlToo = name.compare(u":r", Qt::CaseInsensitive) == 0;
        return RunnerCommand{name, QLatin1StringView(tsqlToo ? "sqlcmd and tsql" : "sqlcmd")};
    }
    if (line.startsWith(u"!!"))
        return RunnerCommand{QStringLiteral("!!"), QLatin1StringView("sqlcmd")};
    qsizetype end = 0;
    while (end < line.size() && isWordCharacter(line[end]))
        ++end;
    const QStringView word = line.left(end);
    for (const CommandWord& command : commandWords)
        if (word.compare(QStringView(command.word), Qt::CaseInsensitive) == 0)
            return RunnerCommand{QStringView(command.word).toString().toUpper(),
                                 QLatin1StringView(command.runners)};
    return std::nullopt;
}

bool isLineBreakAt(QStringView text, qsizetype i) {
    return (i < text.size() && text[i] == u'\n') ||
           (i + 1 < text.size() && text[i] == u'\r' && text[i + 1] == u'\n');
}

bool isVariableStartAt(QStringView text, qsizetype i) {
    return text[i] == u'(' && i > 0 && text[i - 1] == u'$';
}

// The line that begins at start, without its line feed.
QStringView lineAt(QStringView text, qsizetype start) {
    qsizetype end = text.indexOf(u'\n', start);
    if (end < 0)
        end = text.size();
    return text.mid(start, end - start);
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
            if (commandOfLine(lineAt(text, i + 1)))
                cutAt(i + 1);
        } else if (isVariableStartAt(text, i)) {
            cutAt(i);
        } else if (c.isNull()) {
            cutAt(i);
            cutAt(i + 1);
        }
    }
    return cuts;
}

std::optional<RunnerLine> firstRunnerLine(QStringView text) {
    qsizetype number = 1;
    for (qsizetype start = 0; start <= text.size(); ++number) {
        const QStringView line = lineAt(text, start);
        if (const auto command = commandOfLine(line))
            return RunnerLine{number, QLatin1String("is a command to ") + command->runners +
                                          QLatin1String(" (") + command->name + QLatin1Char(')')};
        for (qsizetype i = 0; i < line.size(); ++i)
            if (isVariableStartAt(line, i))
                return RunnerLine{number, QStringLiteral("holds a variable of sqlcmd "
                                                         "(\"$\" before \"(\")")};
        start += line.size() + 1;
    }
    return std::nullopt;
}

} // namespace quarvex
