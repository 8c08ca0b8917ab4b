#include "scripting/TextLiteral.h"

#include "base/ProcedureError.h"
#include "scripting/LiteralCuts.h"
#include "scripting/Utf8Script.h"

namespace quarvex {

namespace {

// The text between apostrophes, each apostrophe doubled, copied in runs.
void appendQuoted(QString& out, QStringView text) {
    out += u'\'';
    qsizetype start = 0;
    for (qsizetype quote = text.indexOf(u'\''); quote >= 0; quote = text.indexOf(u'\'', start)) {
        out += text.mid(start, quote + 1 - start);
        out += u'\'';
        start = quote + 1;
    }
    out += text.mid(start);
    out += u'\'';
}

void appendQuotedPiece(QString& out, QStringView piece, bool unicode) {
    if (unicode)
        out += u'N';
    appendQuoted(out, piece);
}

void appendQuotedPiece(Utf8Script& out, QStringView piece, bool unicode) {
    out.appendQuoted(piece, unicode, false);
}

// 8000 bytes: 8000 single-byte or 4000 Unicode characters.
bool isLong(QStringView text, bool unicode) {
    return text.size() > (unicode ? 4000 : 8000);
}

[[noreturn]] void raiseUnloadable(QStringView text) {
    raise(QStringLiteral(
              "A text value of %1 characters holds a NUL, a backslash before a "
              "line break, a line that a batch runner takes as a command or "
              "\"$\" before \"(\"; servers before SQL Server 2005 cannot load it unchanged "
              "from a script")
              .arg(text.size()));
}

// The literal of a text, cut where literalCuts says into literals joined by
// "+"; a NUL stands on its own as char(0) or nchar(0). Raises before writing
// anything when the value cannot be written for the server.
template <typename Out>
void appendCutLiteral(Out& out, QStringView text, ColumnClass columnClass, bool maxTypesAvailable) {
    const bool unicode = columnClass == ColumnClass::U;
    const auto piece = [&](QStringView part) {
        if (part.size() == 1 && part[0].isNull())
            out += unicode ? QLatin1StringView("nchar(0)") : QLatin1StringView("char(0)");
        else
            appendQuotedPiece(out, part, unicode);
    };
    const QList<qsizetype> cuts = literalCuts(text);
    if (cuts.isEmpty()) {
        piece(text);
        return;
    }
    const bool long_ = isLong(text, unicode);
    if (long_ && !maxTypesAvailable)
        raiseUnloadable(text);

    // Such a concatenation is cut at 8000 bytes unless its first piece is of
    // a max type.
    if (long_)
        out += unicode ? QLatin1StringView("convert(nvarchar(max),")
                       : QLatin1StringView("convert(varchar(max),");
    qsizetype start = 0;
    for (qsizetype i = 0; i <= cuts.size(); ++i) {
        const qsizetype end = i < cuts.size() ? cuts[i] : text.size();
        if (i > 0)
            out += u'+';
        piece(text.mid(start, end - start));
        if (i == 0 && long_)
            out += u')';
        start = end;
    }
}

// What a text holds that its literal must deal with: a character that some
// cut needs (a line break, "$" or a NUL; see literalCuts), or an apostrophe.
// Most values hold neither.
struct TextMarks {
    bool mayNeedCuts = false;
    bool apostrophe = false;
};

// Each flag all ones once such a character was seen. Written without
// branches so that the compiler can check many characters at once.
inline void markCharacter(char16_t c, char16_t& cut, char16_t& quote) {
    const auto all = [](bool flag) { return char16_t(-char16_t(flag)); };
    cut |= all(c == u'\n') | all(c == u'$') | all(c == 0);
    quote |= all(c == u'\'');
}

// One pass over the text, in blocks of fixed length without an early exit,
// which the compiler turns into vector code: for long texts this scan was the
// largest part of the client's own work.
TextMarks marksOf(QStringView text) {
    constexpr qsizetype block = 32;
    const char16_t* const p = text.utf16();
    const qsizetype n = text.size();
    char16_t cut = 0;
    char16_t quote = 0;
    qsizetype i = 0;
    for (; i + block <= n; i += block)
        for (qsizetype j = 0; j < block; ++j)
            markCharacter(p[i + j], cut, quote);
    for (; i < n; ++i)
        markCharacter(p[i], cut, quote);
    return {cut != 0, quote != 0};
}

} // namespace

void appendTextLiteral(QString& out, QStringView text, ColumnClass columnClass,
                       bool maxTypesAvailable) {
    const TextMarks marks = marksOf(text);
    if (marks.mayNeedCuts) {
        appendCutLiteral(out, text, columnClass, maxTypesAvailable);
        return;
    }
    if (columnClass == ColumnClass::U)
        out += u'N';
    if (marks.apostrophe) {
        appendQuoted(out, text);
        return;
    }
    out += u'\'';
    out += text;
    out += u'\'';
}

void appendTextLiteral(Utf8Script& out, QStringView text, ColumnClass columnClass,
                       bool maxTypesAvailable) {
    if (!out.appendQuoted(text, columnClass == ColumnClass::U, true))
        appendCutLiteral(out, text, columnClass, maxTypesAvailable);
}

} // namespace quarvex
