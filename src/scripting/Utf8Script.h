#pragma once

#include <QByteArray>
#include <QLatin1StringView>
#include <QStringView>

namespace quarvex {

// Script text held as the UTF-8 bytes an 8-bit script file receives, so that
// a long value goes from the driver's characters to the file's bytes in one
// pass. The length is also kept in UTF-16 code units, the measure by which a
// table's batches are cut, so that the batches end where they would if the
// text were held as a QString.
//
// The bytes are those QStringEncoder gives for the same text appended to a
// QString: a surrogate without its partner becomes U+FFFD. (No piece
// appended ends with a high surrogate that the next piece would complete.)
class Utf8Script {
public:
    qsizetype size() const { return m_units; }
    bool isEmpty() const { return m_units == 0; }
    const QByteArray& bytes() const { return m_bytes; }

    // Empties the text, keeping its memory for the next batch.
    void clear() {
        m_bytes.resize(0);
        m_units = 0;
    }

    Utf8Script& operator+=(QStringView text);
    Utf8Script& operator+=(QLatin1StringView ascii); // 7-bit characters only
    Utf8Script& operator+=(char16_t c) { return *this += QStringView(&c, 1); }

    // The text between apostrophes, each apostrophe doubled, with the prefix
    // N for Unicode. With stopAtCutMarks it writes nothing and returns false
    // when the text holds a line break, "$" or a NUL: a character at which
    // the literal may have to be cut and which the caller then deals with.
    bool appendQuoted(QStringView text, bool unicode, bool stopAtCutMarks);

private:
    QByteArray m_bytes;
    qsizetype m_units = 0;
};

} // namespace quarvex
