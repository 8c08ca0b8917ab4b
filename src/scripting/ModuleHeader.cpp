#include "scripting/ModuleHeader.h"

#include "base/ControlCharacters.h"

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

    std::optional<QString> word() { return regularIdentifier(); }

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

    // Moves to the first word CREATE that is code; false when there is none.
    bool findCreate() {
        for (skipBlanksAndComments(); m_at < m_text.size(); skipBlanksAndComments()) {
            const QChar c = m_text[m_at];
            if (c == u'\'') {
                skipQuoted(u'\'');
            } else if (c == u'[' || c == u'"') {
                skipQuoted(c == u'[' ? QChar(u']') : c);
            } else if (isFirstCharacter(c)) {
                const qsizetype start = m_at;
                if (regularIdentifier()->compare(u"CREATE", Qt::CaseInsensitive) == 0) {
                    m_at = start;
                    return true;
                }
            } else {
                ++m_at;
            }
        }
        return false;
    }

    void setPosition(qsizetype at) { m_at = at; }

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

    // A string or quoted name, to its end or the text's end when unclosed.
    void skipQuoted(QChar close) {
        if (!quoted(close))
            m_at = m_text.size();
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

namespace {

bool isModuleKeyword(const QString& word) {
    for (const char16_t* keyword : {u"PROC", u"PROCEDURE", u"TRIGGER", u"VIEW", u"FUNCTION"})
        if (word.compare(QStringView(keyword), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

std::optional<ModuleHeaderName> readName(HeaderReader& reader, const QString& definition) {
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

} // namespace

std::optional<ModuleHeader> moduleHeader(const QString& definition) {
    HeaderReader reader(definition);
    if (!reader.findCreate())
        return std::nullopt;
    ModuleHeader header;
    header.createAt = reader.position();
    reader.takeWord(u"CREATE");
    header.verbEnd = reader.position();
    reader.skipBlanksAndComments();
    // A stored CREATE OR ALTER counts as CREATE; an OR alone is no part of it.
    const qsizetype afterCreate = reader.position();
    if (reader.takeWord(u"OR")) {
        reader.skipBlanksAndComments();
        if (reader.takeWord(u"ALTER")) {
            header.verbEnd = reader.position();
            reader.skipBlanksAndComments();
        } else {
            reader.setPosition(afterCreate);
        }
    }
    header.keyword = reader.word().value_or(QString());
    if (!isModuleKeyword(header.keyword))
        return header;
    reader.skipBlanksAndComments();
    header.name = readName(reader, definition);
    return header;
}

std::optional<ModuleHeaderName> moduleHeaderName(const QString& definition) {
    const std::optional<ModuleHeader> header = moduleHeader(definition);
    return header ? header->name : std::nullopt;
}

bool namesListedObject(const ModuleHeaderName& header, const QString& owner, const QString& name) {
    if (header.name.compare(name, Qt::CaseInsensitive) != 0)
        return false;
    return header.owner.isEmpty() || header.owner.compare(owner, Qt::CaseInsensitive) == 0;
}

std::optional<QString> unlistedHeaderFault(const ModuleHeaderName& header, const QString& owner,
                                           const QString& name) {
    if (namesListedObject(header, owner, name))
        return std::nullopt;
    // ALTER SCHEMA ... TRANSFER leaves the old owner in the text.
    const bool moved = header.name.compare(name, Qt::CaseInsensitive) == 0;
    return QLatin1String("its stored text names ") + cEscaped(header.written) +
           QLatin1String(moved ? ": it was moved to another schema since; script it from its source"
                               : ": it was renamed; script it from its source");
}

} // namespace quarvex
