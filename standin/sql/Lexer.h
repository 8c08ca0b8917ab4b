#pragma once

#include <QList>
#include <QString>

namespace quarvex::standin {

struct Token {
    enum Kind {
        Word,          // identifier or keyword, bare
        QuotedName,    // [name] or "name"
        String,        // 'text'
        UnicodeString, // N'text'
        Integer,
        Decimal,  // digits with a point
        Float,    // with an exponent
        Binary,   // 0x..., text holds the hex digits
        Variable, // @name or @@name
        Symbol,   // operators and punctuation
        End,
    };
    Kind kind = End;
    QString text;  // names without brackets, strings without quotes and doubling
    int begin = 0; // offsets into the batch text
    int end = 0;
    int line = 1;  // of begin, counting from 1

    bool isWord(const char* word) const {
        return kind == Word && text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }
    bool isSymbol(const char* symbol) const {
        return kind == Symbol && text == QLatin1String(symbol);
    }
    bool isName() const { return kind == Word || kind == QuotedName; }
};

struct LexResult {
    QList<Token> tokens; // always ends with an End token
    bool unclosedQuote = false;
    QString unclosedText;
};

// Splits a batch into T-SQL tokens. Comments vanish. Inside a string literal
// a doubled apostrophe stands for one, and a backslash directly before a line
// break continues the line: backslash and line break both vanish.
LexResult lex(const QString& batch);

// Splits a script into batches at lines that hold only GO (any case).
QStringList splitBatches(const QString& script);

} // namespace quarvex::standin
