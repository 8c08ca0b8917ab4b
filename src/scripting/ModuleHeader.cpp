#include "scripting/ModuleHeader.h"

#include <QStringList>

namespace quarvex {

namespace {

// Walks the head of a definition token by token. Positions are indexes into
// the text; every read leaves the position after what it read.
class HeaderReader {
public:
    explicit HeaderReader(const QString& text)
        : m_text(text) {}

    qsizetype position() const { return m_at; }

    // Blanks, line ends, "--" comments to the end of their line and "/* */"
    // comments, which nest.
    void skipBlanksAndComments() {
        while (m_at < m_text.size()) {
            if (m_text[m_at].unicode() <= 32 || m_text[m_at].isSpace()) {
                ++m_at;
            } else if (startsWith(u"--")) {
                while (m_at < m_text.size() && m_text[m_at] != u'\n')
                    ++m_at;
            } else if (startsWith(u"/*")) {
                skipBlockComment();
            } else {
                return;
            }
        }
    }

    bool takeWord(QStringView word) {
        const qsizetype start = m_at;
        const std::optional<QString> read = regularIdentifier();
        if (read && read->compare(word, Qt::CaseInsensitive) == 0)
            return true;
        m_at = start;
        return false;
    }

    // A bracketed, double-quoted or regular identifier, unquoted.
    std::optional<QString> identifier() {
        if (m_at >= m_text.size())
            return std::nullopt;
        if (m_text[m_at] == u'[')
            return quoted(u']');
        if (m_text[m_at] == u'"')
            return quoted(u'"');
        return regularIdentifier();
    }

    bool takeDot() {
        if (m_at < m_text.size() && m_text[m_at] == u'.') {
            ++m_at;
            return true;
        }
        return false;
    }

private:
    bool startsWith(QStringView two) const { return QStringView(m_text).mid(m_at).startsWith(two); }

    void skipBlockComment() {
        int depth = 0;
        while (m_at < m_text.size()) {
            if (startsWith(u"/*")) {
                ++depth;
                m_at += 2;
            } else if (startsWith(u"*/")) {
                m_at += 2;
                if (--depth == 0)
                    return;
            } else {
                ++m_at;
            }
        }
    }

    static bool isFirstCharacter(QChar c) {
        return c.isLetter() || c == u'_' || c == u'@' || c == u'#';
    }

    std::optional<QString> regularIdentifier() {
        if (m_at >= m_text.size() || !isFirstCharacter(m_text[m_at]))
            return std::nullopt;
        const qsizetype start = m_at;
        while (m_at < m_text.size() &&
               (isFirstCharacter(m_text[m_at]) || m_text[m_at].isDigit() || m_text[m_at] == u'$'))
            ++m_at;
        return m_text.mid(start, m_at - start);
    }

    // The closing character stands for itself when doubled.
    std::optional<QString> quoted(QChar close) {
        QString name;
        for (qsizetype at = m_at + 1; at < m_text.size(); ++at) {
            if (m_text[at] != close) {
                name += m_text[at];
            } else if (at + 1 < m_text.size() && m_text[at + 1] == close) {
                name += close;
                ++at;
            } else {
                m_at = at + 1;
                return name;
            }
        }
        return std::nullopt;
    }

    const QString& m_text;
    qsizetype m_at = 0;
};

} // namespace

std::optional<ModuleHeaderName> moduleHeaderName(const QString& definition) {
    HeaderReader reader(definition);
    reader.skipBlanksAndComments();
    if (!reader.takeWord(u"CREATE"))
        return std::nullopt;
    reader.skipBlanksAndComments();
    if (reader.takeWord(u"OR")) {
        reader.skipBlanksAndComments();
        if (!reader.takeWord(u"ALTER"))
            return std::nullopt;
        reader.skipBlanksAndComments();
    }
    // The kind's keyword; which one is the caller's check.
    if (!reader.takeWord(u"PROC") && !reader.takeWord(u"PROCEDURE") &&
        !reader.takeWord(u"TRIGGER") && !reader.takeWord(u"VIEW") && !reader.takeWord(u"FUNCTION"))
        return std::nullopt;
    reader.skipBlanksAndComments();

    const qsizetype start = reader.position();
    QStringList parts;
    qsizetype end = start;
    for (;;) {
        const std::optional<QString> part = reader.identifier();
        if (!part)
            return std::nullopt;
        parts.append(*part);
        end = reader.position();
        reader.skipBlanksAndComments();
        if (!reader.takeDot())
            break;
        reader.skipBlanksAndComments();
    }
    if (parts.size() > 3)
        return std::nullopt;
    ModuleHeaderName header;
    header.written = definition.mid(start, end - start);
    header.name = parts.last();
    if (parts.size() >= 2)
        header.owner = parts[parts.size() - 2];
    return header;
}

bool namesListedObject(const ModuleHeaderName& header, const QString& owner, const QString& name) {
    if (header.name.compare(name, Qt::CaseInsensitive) != 0)
        return false;
    return header.owner.isEmpty() || header.owner.compare(owner, Qt::CaseInsensitive) == 0;
}

} // namespace quarvex
