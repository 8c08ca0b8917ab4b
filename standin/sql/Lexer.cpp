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


// Reads tokens from the start of a batch, one at a time.
class Scanner {
public:
    explicit Scanner(const QString& s)
        : m_s(s)
        , m_n(int(s.size())) {}

    bool atEnd() const { return m_i >= m_n; }
    bool lastStringUnclosed() const { return m_unclosed; }

    // Skips a blank, a -- comment or a /* comment */ (they nest); false
    // when none stands here.
    bool skipBlankOrComment() {
        const QChar c = m_s[m_i];
        if (c.isSpace()) {
            ++m_i;
        } else if (c == u'-' && at(m_i + 1) == u'-') {
            while (m_i < m_n && m_s[m_i] != u'\n')
                ++m_i;
        } else if (c == u'/' && at(m_i + 1) == u'*') {
            skipBlockComment();
        } else {
            return false;
        }
        return true;
    }

    Token next() {
        const QChar c = m_s[m_i];
        Token token;
        token.begin = m_i;
        const bool unicode = (c == u'N' || c == u'n') && at(m_i + 1) == u'\'';
        if (c == u'\'' || unicode)
            readString(token, unicode);
        else if (c == u'[')
            readQuotedName(token, u']');
        else if (c == u'"')
            readQuotedName(token, u'"');
        else if (c == u'0' && (at(m_i + 1) == u'x' || at(m_i + 1) == u'X'))
            readBinary(token);
        else if (c.isDigit() || (c == u'.' && at(m_i + 1).isDigit()))
            readNumber(token);
        else if (c == u'@')
            readVariable(token);
        else if (isNameStart(c))
            readWord(token);
        else
            readSymbol(token);
        token.end = m_i;
        return token;
    }

private:
    QChar at(int k) const { return k < m_n ? m_s[k] : QChar(); }

    void skipBlockComment() {
        int depth = 0;
        while (m_i < m_n) {
            if (m_s[m_i] == u'/' && at(m_i + 1) == u'*') {
                ++depth;
                m_i += 2;
            } else if (m_s[m_i] == u'*' && at(m_i + 1) == u'/') {
                m_i += 2;
                if (--depth == 0)
                    break;
            } else {
                ++m_i;
            }
        }
    }

    // 'text' or N'text': '' is one apostrophe, a backslash before a line
    // break continues the line.
    void readString(Token& token, bool unicode) {
        token.kind = unicode ? Token::UnicodeString : Token::String;
        m_i += unicode ? 2 : 1;
        m_unclosed = true;
        while (m_i < m_n) {
            if (m_s[m_i] == u'\'') {
                if (at(m_i + 1) == u'\'') {
                    token.text += u'\'';
                    m_i += 2;
                    continue;
                }
                ++m_i;
                m_unclosed = false;
                break;
            }
            if (m_s[m_i] == u'\\' && at(m_i + 1) == u'\n') {
                m_i += 2;
                continue;
            }
            if (m_s[m_i] == u'\\' && at(m_i + 1) == u'\r' && at(m_i + 2) == u'\n') {
                m_i += 3;
                continue;
            }
            token.text += m_s[m_i++];
        }
    }

    // [name] or "name", the closing character doubled inside.
    void readQuotedName(Token& token, QChar close) {
        token.kind = Token::QuotedName;
        ++m_i;
        while (m_i < m_n) {
            if (m_s[m_i] == close) {
                if (at(m_i + 1) == close) {
                    token.text += close;
                    m_i += 2;
                    continue;
                }
                ++m_i;
                break;
            }
            token.text += m_s[m_i++];
        }
    }

    void readBinary(Token& token) {
        token.kind = Token::Binary;
        m_i += 2;
        while (m_i < m_n && isxdigit(m_s[m_i].toLatin1()) && m_s[m_i].unicode() < 128)
            token.text += m_s[m_i++];
    }

    void readDigits(Token& token) {
        while (m_i < m_n && m_s[m_i].isDigit())
            token.text += m_s[m_i++];
    }

    // 12, 1.5, .5, 1e3, 1.5E-3.
    void readNumber(Token& token) {
        token.kind = Token::Integer;
        readDigits(token);
        if (m_i < m_n && m_s[m_i] == u'.') {
            token.kind = Token::Decimal;
            token.text += m_s[m_i++];
            readDigits(token);
        }
        if (m_i < m_n && (m_s[m_i] == u'e' || m_s[m_i] == u'E')) {
            int k = m_i + 1;
            if (at(k) == u'+' || at(k) == u'-')
                ++k;
            if (at(k).isDigit()) {
                token.kind = Token::Float;
                token.text += m_s.mid(m_i, k - m_i);
                m_i = k;
                readDigits(token);
            }
        }
    }

    void readVariable(Token& token) {
        token.kind = Token::Variable;
        token.text += m_s[m_i++];
        if (at(m_i) == u'@')
            token.text += m_s[m_i++];
        while (m_i < m_n && isNamePart(m_s[m_i]))
            token.text += m_s[m_i++];
    }

    void readWord(Token& token) {
        token.kind = Token::Word;
        while (m_i < m_n && isNamePart(m_s[m_i]))
            token.text += m_s[m_i++];
    }

    void readSymbol(Token& token) {
        static const char* const pairs[] = {"<>", "!=", "<=", ">=", "!<", "!>", "::"};
        const QChar c = m_s[m_i];
        token.kind = Token::Symbol;
        token.text = c;
        ++m_i;
        for (const char* pair : pairs) {
            if (c == QLatin1Char(pair[0]) && at(m_i) == QLatin1Char(pair[1])) {
                token.text += at(m_i);
                ++m_i;
                break;
            }
        }
    }

    const QString& m_s;
    const int m_n;
    int m_i = 0;
    bool m_unclosed = false;
};

// Line numbers in one pass; counting from the start for every statement
// made long batches quadratic.
void numberLines(QList<Token>& tokens, const QString& s) {
    int line = 1;
    int counted = 0;
    for (Token& token : tokens) {
        line += int(QStringView(s).mid(counted, token.begin - counted).count(u'\n'));
        counted = token.begin;
        token.line = line;
    }
}

} // namespace

LexResult lex(const QString& s) {
    LexResult result;
    Scanner scan(s);
    while (!scan.atEnd()) {
        if (scan.skipBlankOrComment())
            continue;
        const Token token = scan.next();
        const bool string = token.kind == Token::String || token.kind == Token::UnicodeString;
        if (string && scan.lastStringUnclosed()) {
            result.unclosedQuote = true;
            result.unclosedText = token.text;
        }
        result.tokens.append(token);
    }
    Token end;
    end.begin = end.end = int(s.size());
    result.tokens.append(end);
    numberLines(result.tokens, s);
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
