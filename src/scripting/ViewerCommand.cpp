#include "scripting/ViewerCommand.h"

#include "base/ProcedureError.h"
#include "model/Toolkit.h"

#ifdef Q_OS_WIN
#include <QProcess>
#endif

namespace quarvex {

std::optional<QStringList> shellWords(const QString& command) {
    QStringList words;
    QString word;
    bool inWord = false;
    for (qsizetype i = 0; i < command.size(); ++i) {
        const QChar c = command[i];
        if (c == u' ' || c == u'\t' || c == u'\n') {
            if (inWord)
                words.append(word);
            word.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == u'\\') {
            if (++i < command.size())
                word += command[i];
        } else if (c == u'\'') {
            const qsizetype close = command.indexOf(u'\'', i + 1);
            if (close < 0)
                return std::nullopt;
            word += command.mid(i + 1, close - i - 1);
            i = close;
        } else if (c == u'"') {
            for (++i;; ++i) {
                if (i >= command.size())
                    return std::nullopt;
                const QChar d = command[i];
                if (d == u'"')
                    break;
                if (d == u'\\' && i + 1 < command.size() &&
                    QStringView(u"$`\"\\").contains(command[i + 1]))
                    word += command[++i];
                else
                    word += d;
            }
        } else {
            word += c;
        }
    }
    if (inWord)
        words.append(word);
    return words;
}

void openInViewer(Toolkit& toolkit, const QString& viewer, const QString& filePath) {
#ifdef Q_OS_WIN
    // Windows programs parse their own command lines; Qt's splitting follows
    // the rules they share.
    const std::optional<QStringList> words = QProcess::splitCommand(viewer);
#else
    const std::optional<QStringList> words = shellWords(viewer);
#endif
    const QString failed = QStringLiteral("The viewer could not be started: ") + viewer;
    if (!words)
        raise(failed + QStringLiteral(" (a quote is left open)"));
    if (words->isEmpty())
        return;
    QStringList arguments = *words;
    const QString program = arguments.takeFirst();
    arguments.append(filePath);
    if (const auto reason = toolkit.startViewer(program, arguments))
        raise(failed + QStringLiteral(" (") + *reason + QLatin1Char(')'));
}

} // namespace quarvex
