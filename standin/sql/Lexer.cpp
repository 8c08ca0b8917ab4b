#include "standin/sql/Lexer.h"

#include <QRegularExpression>

namespace quarvex::standin {

namespace {

bool isNameStart(QChar c) {
    return c.isLetter() || c == u'_' || c == u'#';
}
bool isNamePart(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'#' || c == u'@' || c == u'$';
}

} // namespace

LexResult lex(const QString& s) {
    LexResult result;
    const int n = int(s.size());
    int i = 0;
    auto at = [&](int k) { return k < n ? s[k] : QChar(); };
    while (i < n) {
        const QChar c = s[i];
        if (c.isSpace()) {
            ++i;
            continue;
        }
        if (c == u'-' && at(i + 1) == u'-') {
            while (i < n && s[i] != u'\n')
                ++i;
            continue;
        }
        if (c == u'/' && at(i + 1) == u'*') {
            int depth = 0;
            while (i < n) {
                if (s[i] == u'/' && at(i + 1) == u'*') {
                    ++depth;
                    i += 2;
                } else if (s[i] == u'*' && at(i + 1) == u'/') {
                    i += 2;
                    if (--depth == 0)
                        break;
                } else {
                    ++i;
                }
            }
            continue;
        }
        Token token;
        token.begin = i;
        const bool unicode = (c == u'N' || c == u'n') && at(i + 1) == u'\'';
        if (c == u'\'' || unicode) {
            token.kind = unicode ? Token::UnicodeString : Token::String;
            i += unicode ? 2 : 1;
            bool closed = false;
            while (i < n) {
                if (s[i] == u'\'') {
                    if (at(i + 1) == u'\'') {
                        token.text += u'\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                if (s[i] == u'\\' && at(i + 1) == u'\n') {
                    i += 2;
                    continue;
                }
                if (s[i] == u'\\' && at(i + 1) == u'\r' && at(i + 2) == u'\n') {
                    i += 3;
                    continue;
                }
                token.text += s[i++];
            }
            if (!closed) {
                result.unclosedQuote = true;
                result.unclosedText = token.text;
            }
        } else if (c == u'[') {
            token.kind = Token::QuotedName;
            ++i;
            while (i < n) {
                if (s[i] == u']') {
                    if (at(i + 1) == u']') {
                        token.text += u']';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                token.text += s[i++];
            }
        } else if (c == u'"') {
            token.kind = Token::QuotedName;
            ++i;
            while (i < n) {
                if (s[i] == u'"') {
                    if (at(i + 1) == u'"') {
                        token.text += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                token.text += s[i++];
            }
        } else if (c == u'0' && (at(i + 1) == u'x' || at(i + 1) == u'X')) {
            token.kind = Token::Binary;
            i += 2;
            while (i < n && isxdigit(s[i].toLatin1()) && s[i].unicode() < 128)
                token.text += s[i++];
        } else if (c.isDigit() || (c == u'.' && at(i + 1).isDigit())) {
            token.kind = Token::Integer;
            while (i < n && s[i].isDigit())
                token.text += s[i++];
            if (i < n && s[i] == u'.') {
                token.kind = Token::Decimal;
                token.text += s[i++];
                while (i < n && s[i].isDigit())
                    token.text += s[i++];
            }
            if (i < n && (s[i] == u'e' || s[i] == u'E')) {
                int k = i + 1;
                if (at(k) == u'+' || at(k) == u'-')
                    ++k;
                if (at(k).isDigit()) {
                    token.kind = Token::Float;
                    token.text += s.mid(i, k - i);
                    i = k;
                    while (i < n && s[i].isDigit())
                        token.text += s[i++];
                }
            }
        } else if (c == u'@') {
            token.kind = Token::Variable;
            token.text += s[i++];
            if (at(i) == u'@')
                token.text += s[i++];
            while (i < n && isNamePart(s[i]))
                token.text += s[i++];
        } else if (isNameStart(c)) {
            token.kind = Token::Word;
            while (i < n && isNamePart(s[i]))
                token.text += s[i++];
        } else {
            token.kind = Token::Symbol;
            static const char* const pairs[] = {"<>", "!=", "<=", ">=", "!<", "!>", "::"};
            token.text = c;
            ++i;
            for (const char* pair : pairs) {
                if (c == QLatin1Char(pair[0]) && at(i) == QLatin1Char(pair[1])) {
                    token.text += at(i);
                    ++i;
                    break;
                }
            }
        }
        token.end = i;
        result.tokens.append(token);
    }
    Token end;
    end.begin = end.end = n;
    result.tokens.append(end);

    // Line numbers in one pass; counting from the start for every statement
    // made long batches quadratic.
    int line = 1;
    int counted = 0;
    for (Token& token : result.tokens) {
        line += int(QStringView(s).mid(counted, token.begin - counted).count(u'\n'));
        counted = token.begin;
        token.line = line;
    }
    return result;
}

QStringList splitBatches(const QString& script) {
    static const QRegularExpression goLine(QStringLiteral(R"(^[ \t]*go[ \t]*\r?$)"),
                                           QRegularExpression::CaseInsensitiveOption);
    QStringList batches;
    QString current;
    const QStringList lines = script.split(u'\n');
    for (int k = 0; k < lines.size(); ++k) {
        if (goLine.match(lines[k]).hasMatch()) {
            if (!current.trimmed().isEmpty())
                batches.append(current);
            current.clear();
            continue;
        }
        current += lines[k];
        if (k + 1 < lines.size())
            current += u'\n';
    }
    if (!current.trimmed().isEmpty())
        batches.append(current);
    return batches;
}

} // namespace quarvex::standin
