#include "scripting/ValueLiteral.h"

#include "base/ProcedureError.h"
#include "scripting/Utf8Script.h"
#include "scripting/VariantLiteral.h"

#include <QRegularExpression>
#include <QStringEncoder>
#include <QTest>
#include <charconv>
#include <cstring>
#include <limits>

using namespace quarvex;

Q_DECLARE_METATYPE(quarvex::ColumnClass)
Q_DECLARE_METATYPE(quarvex::FieldValue)

namespace {

// Values as the row reader delivers them (see OdbcStatement::read).
template <auto member, typename Content>
FieldValue field(FieldValue::Kind kind, const Content& content) {
    FieldValue value;
    value.kind = kind;
    value.*member = content;
    return value;
}

FieldValue text(const QString& characters) {
    return field<&FieldValue::text>(FieldValue::Kind::Text, characters);
}

FieldValue exact(const char* digits) {
    return field<&FieldValue::text>(FieldValue::Kind::Exact, QString::fromLatin1(digits));
}

FieldValue integer(qint64 number) {
    return field<&FieldValue::integer>(FieldValue::Kind::Integer, number);
}

FieldValue real(double number) {
    return field<&FieldValue::real>(FieldValue::Kind::Double, number);
}

FieldValue single(float number) {
    return field<&FieldValue::single>(FieldValue::Kind::Float, number);
}

FieldValue bytes(const QByteArray& content) {
    return field<&FieldValue::bytes>(FieldValue::Kind::Bytes, content);
}

FieldValue stamp(int y, int mo, int d, int h, int mi, int s, quint32 nanoseconds = 0) {
    return field<&FieldValue::stamp>(FieldValue::Kind::Timestamp,
                                     Timestamp{y, mo, d, h, mi, s, nanoseconds});
}

// Text with every "@" turned into a NUL, which a C++ literal cannot carry.
QString withNuls(QString characters) {
    return characters.replace(u'@', QChar(0));
}

// One value appended after "(" by both ways a script run writes rows: into a
// QString (a Unicode script, or an 8-bit one where the system's encoding is
// not UTF-8) and into the UTF-8 bytes of an 8-bit script file.
struct Written {
    QString text;
    QByteArray bytes;
    qsizetype units = 0; // Utf8Script's length in UTF-16 code units
    std::optional<Failure> failure;
    bool bytesFailed = false;
};

Written written(ColumnClass columnClass, const FieldValue& value,
                const FieldValue& milliseconds = {}, bool maxTypes = true, int scale = 0) {
    // A date's milliseconds come with it; the other classes have none.
    const FieldValue* ms = columnClass == ColumnClass::D ? &milliseconds : nullptr;
    Written result;
    result.text = QStringLiteral("(");
    result.failure = failureOf(
        [&] { appendValueLiteral(result.text, columnClass, value, ms, maxTypes, scale); });
    Utf8Script script;
    script += QLatin1StringView("(");
    result.bytesFailed = failureOf([&] {
                             appendValueLiteral(script, columnClass, value, ms, maxTypes, scale);
                         }).has_value();
    result.bytes = script.bytes().toByteArray();
    result.units = script.size();
    return result;
}

// What the server accepts as a numeric or float literal.
const QRegularExpression numericLiteral(QStringLiteral(R"(^-?\d+(\.\d+)?(E-?\d+)?$)"));

template <typename Float> bool readsBackTo(const QString& literal, Float expected) {
    const QByteArray digits = literal.toLatin1();
    Float value{};
    const auto result =
        std::from_chars(digits.constData(), digits.constData() + digits.size(), value);
    return result.ec == std::errc() && result.ptr == digits.constData() + digits.size() &&
           std::memcmp(&value, &expected, sizeof value) == 0;
}

} // namespace

class ValueLiteralTest : public QObject {
    Q_OBJECT

private slots:
    // Each value as the script carries it, or the start of the message that
    // refuses it. Bits, bytes, apostrophes, empty texts and the limits of each
    // classic type load back in the round trip, through the same function.
    void literals_data() {
        QTest::addColumn<ColumnClass>("columnClass");
        QTest::addColumn<FieldValue>("value");
        QTest::addColumn<FieldValue>("milliseconds");
        QTest::addColumn<bool>("maxTypes");
        QTest::addColumn<int>("scale");
        QTest::addColumn<QString>("literal");
        QTest::addColumn<QString>("refusal"); // null: written
        const auto add = [](const char* name, ColumnClass columnClass, const FieldValue& value,
                            const FieldValue& milliseconds, int scale, bool maxTypes,
                            const QString& literal, const QString& refusal) {
            QTest::newRow(name) << columnClass << value << milliseconds << maxTypes << scale
                                << literal << refusal;
        };
        const auto row = [&](const char* name, ColumnClass columnClass, const FieldValue& value,
                             const QString& literal, int scale = 0, bool maxTypes = true) {
            add(name, columnClass, value, {}, scale, maxTypes, literal, QString());
        };
        const auto dated = [&](const char* name, const FieldValue& value,
                               const FieldValue& milliseconds, const QString& literal) {
            add(name, ColumnClass::D, value, milliseconds, 0, true, literal, QString());
        };
        const auto refused = [&](const char* name, ColumnClass columnClass, const FieldValue& value,
                                 const QString& refusal, int scale = 0, bool maxTypes = true) {
            add(name, columnClass, value, {}, scale, maxTypes, QString(), refusal);
        };
        using enum ColumnClass;
        const QString x8000(8000, u'x');
        const QString x4000(4000, u'x');

        row("null of any class", DateTimeOffset, FieldValue(), "null", 7);
        row("8-bit text beyond ASCII", C, text("Grüße, 5 €"), "'Grüße, 5 €'");
        row("Unicode text, apostrophe, surrogate pair", U, text("O'Brien \U0001F600"),
            "N'O''Brien \U0001F600'");
        row("float short enough for plain decimal", N, real(-123.456), "-123.456");
        row("whole float", N, real(100000.0), "100000");
        row("tiny float", N, real(1.5e-300), "1.5E-300");
        row("zeros after the point", N, real(0.00012), "0.00012");
        row("negative float with exponent", N, real(-2.5e-8), "-2.5E-8");
        row("real", N, single(0.1f), "0.1");
        refused("infinity", N, real(std::numeric_limits<double>::infinity()), "Cannot write");
        refused("grouping comma", N, exact("1,5"), "Invalid number text");
        refused("injected text", N, exact("1);drop table x--"), "Invalid number text");
        refused("two points", N, exact("1.2.3"), "Invalid number text");
        refused("bare minus", N, exact("-"), "Invalid number text");
        refused("a number as text", N, text("12"), "Unexpected fall to Case Else");
        dated("milliseconds padded", stamp(2008, 12, 10, 14, 5, 9), integer(7),
              "'2008-12-10 14:05:09.007'");
        dated("smalldatetime: milliseconds null", stamp(1900, 1, 1, 0, 0, 0), FieldValue(),
              "'1900-01-01 00:00:00.000'");
        refused("no such day", D, stamp(2009, 2, 30, 0, 0, 0), "GetDate: Invalid date value");
        row("geometry", Geometry, bytes(QByteArray("\x00\x0A", 2)), "convert(geometry,0x000A)");

        // The newer types arrive as the server's text in style 121.
        row("time(0) without a point", Time, text("23:59:59"), "'23:59:59'");
        row("every fraction digit added", Time, text("23:59:59"), "'23:59:59.0000000'", 7);
        row("missing fraction digits added", DateTime2, text("2009-03-02 16:45:12.1"),
            "'2009-03-02 16:45:12.100'", 3);
        row("surplus zeros dropped", DateTime2, text("2009-03-02 16:45:12.1230000"),
            "'2009-03-02 16:45:12.123'", 3);
        row("datetime2(0) loses only zeros", DateTime2, text("9999-12-31 23:59:59.000"),
            "'9999-12-31 23:59:59'");
        row("zero offset is +00:00", DateTimeOffset, text("2009-03-02 10:00:00.5 -00:00"),
            "'2009-03-02 10:00:00.5 +00:00'", 1);
        const QString inexact = "Cannot write the";
        refused("surplus digit that is not zero", DateTime2, text("2009-03-02 16:45:12.1234"),
                inexact, 3);
        refused("offset missing", DateTimeOffset, text("2009-03-02 10:00:00"), inexact);
        refused("day first", Date, text("02/03/2009"), inexact);
        refused("a time for a date", Date, text("10:00:00"), inexact);
        refused("a point without digits", Time, text("10:00:00."), inexact, 3);
        refused("text after the value", Time, text("10:00:00 x"), inexact);

        // Places that the server, the client or a batch runner (tsql,
        // sqlcmd) would change are cut out of the literal; nothing else is.
        row("backslash before LF, unicode", U, text("x\\\ny"), "N'x\\'+N'\ny'");
        row("backslash elsewhere", C, text("a\\b\\"), "'a\\b\\'");
        row("apostrophes doubled in every piece", C, text("it's\\\nme'"), "'it''s\\'+'\nme'''");
        row("NULs first in nvarchar", U, text(withNuls("@@x")), "nchar(0)+nchar(0)+N'x'");
        row("NUL right after a command word", C, text(withNuls("a\nexit@")),
            "'a\n'+'exit'+char(0)");
        row("go with blanks, lower case, at the end", U, text("a\n \tgo "), "N'a\n'+N' \tgo '");
        row("GO with a count", C, text("a\nGO 2"), "'a\n'+'GO 2'");
        row("sqlcmd exit with a query", C, text("a\nexit(select 1)"), "'a\n'+'exit(select 1)'");
        row("sqlcmd :r", C, text("a\n:r x"), "'a\n'+':r x'");
        row("sqlcmd :setvar after blanks", C, text("a\n  :setvar V 1"), "'a\n'+'  :setvar V 1'");
        row("sqlcmd !!", U, text("a\n!!ls"), "N'a\n'+N'!!ls'");
        row("sqlcmd variable", C, text("cost $(x) $"), "'cost $'+'(x) $'");
        row("dollar and parenthesis apart", C, text("$ ( $x ("), "'$ ( $x ('");
        row("exited is no command", C, text("a\nexited"), "'a\nexited'");
        row("editor is no command", U, text("a\neditor"), "N'a\neditor'");
        row("gone is no command", C, text("a\ngone"), "'a\ngone'");
        row("a command word later in the line", C, text("a\nsay exit"), "'a\nsay exit'");
        row("the first line is no line of its own", C, text("GO\nexit"), "'GO\n'+'exit'");

        // A cut value longer than 8000 bytes starts with a max type, so that
        // the concatenation is not cut; servers before 2005 have none.
        row("NUL after 8000 bytes", C, text(x8000 + QChar(0)),
            "convert(varchar(max),'" + x8000 + "')+char(0)");
        row("NUL first", C, text(QChar(0) + x8000),
            "convert(varchar(max),char(0))+'" + x8000 + "'");
        row("8000 characters in all fit before 2005", C, text(QString(7998, u'x') + "$("),
            "'" + QString(7998, u'x') + "$'+'('", 0, false);
        row("long value without cuts before 2005", C, text(QString(9000, u'y')),
            "'" + QString(9000, u'y') + "'", 0, false);
        const QString unloadable = "A text value of";
        refused("longer before 2005", U, text(x4000 + "\nGO"), unloadable, 0, false);
        refused("NUL in a long value before 2005", C, text(x8000 + QChar(0)), unloadable, 0, false);
    }

    void literals() {
        QFETCH(ColumnClass, columnClass);
        QFETCH(FieldValue, value);
        QFETCH(FieldValue, milliseconds);
        QFETCH(bool, maxTypes);
        QFETCH(int, scale);
        QFETCH(QString, literal);
        QFETCH(QString, refusal);
        const Written result = written(columnClass, value, milliseconds, maxTypes, scale);
        if (!refusal.isNull()) {
            QVERIFY(result.failure.has_value());
            QVERIFY2(result.failure->description.startsWith(refusal),
                     qPrintable(result.failure->description));
            QVERIFY(result.bytesFailed);
            // Nothing of the value was written before the refusal.
            QCOMPARE(result.text, QStringLiteral("("));
            QCOMPARE(result.bytes, QByteArray("("));
            return;
        }
        QVERIFY2(!result.failure, qPrintable(result.failure->description));
        QCOMPARE(result.text, "(" + literal);
        QVERIFY(!result.bytesFailed);
        QCOMPARE(result.bytes, "(" + literal.toUtf8());
        QCOMPARE(result.units, literal.size() + 1);
    }

    // The UTF-8 writer takes up to sixteen characters at a time and looks
    // closer at the first that is not plain; whatever stands at the edges of
    // those runs, it writes the bytes the file layer makes of the QString.
    void eightBitTextAtRunEdges_data() {
        QTest::addColumn<QString>("characters");
        QTest::addColumn<ColumnClass>("columnClass");
        QTest::addColumn<bool>("maxTypes");
        const auto row = [](const char* name, const QString& characters,
                            ColumnClass columnClass = ColumnClass::C, bool maxTypes = true) {
            QTest::newRow(name) << characters << columnClass << maxTypes;
        };
        const QString a7(7, u'a');
        const QString a8(8, u'a');
        const QString a15(15, u'a');
        const QString a16(16, u'a');
        const QString smiley = QStringLiteral("\U0001F600");
        row("empty", "");
        row("seven, eight, nine plain", a7 + "|" + a8 + "|" + a8 + "b");
        row("sixteen and seventeen plain", a16 + "|" + a16 + "b", ColumnClass::U);
        row("two bytes last of sixteen", a15 + "é" + "bc");
        row("three bytes first after sixteen", a16 + "€" + a8, ColumnClass::U);
        row("pair of surrogates across sixteen", a15 + smiley + "z", ColumnClass::U);
        row("pair of surrogates across the last eight", a16 + a7 + smiley + a8, ColumnClass::U);
        row("apostrophe sixteenth", a15 + "'" + "b");
        row("apostrophe last of the last eight", a16 + a7 + "'");
        row("apostrophes only", QString(40, u'\''), ColumnClass::U);
        row("lone high surrogate before the closing apostrophe", QString("ab") + QChar(0xD800),
            ColumnClass::U);
        row("lone low surrogate after sixteen", a16 + QChar(0xDC00) + a8, ColumnClass::U);
        row("reversed pair", a8 + QChar(0xDE00) + QChar(0xD83D) + a8, ColumnClass::U);
        row("Latin-1 letters above 0x7F", QString(20, QChar(0x00FF)) + QString(20, QChar(0x0080)));
        // Each ends in the byte of an apostrophe, a line break, "$" or NUL:
        // none of them may be taken for that character.
        row("characters whose low byte is a special one",
            QString(20, QChar(0x0127)) + QChar(0x010A) + QChar(0x0124) + QChar(0x0100) +
                QChar(0x2027) + a16,
            ColumnClass::U);
        row("line break after sixteen starts a cut", a16 + "\nGO\n" + a8);
        row("$( across sixteen", a15 + "$(" + a8);
        row("NUL after eight", a8 + QChar(0) + "b", ColumnClass::U);
        row("cut after Unicode text beyond 4000", QString(4001, QChar(0x20AC)) + "$(x",
            ColumnClass::U);
        row("the same before 2005 cannot be written", QString(4001, QChar(0x20AC)) + "$(x",
            ColumnClass::U, false);
        row("long text with two-byte characters and no cut", QString(9000, QChar(0x00E9)));
    }

    void eightBitTextAtRunEdges() {
        QFETCH(QString, characters);
        QFETCH(ColumnClass, columnClass);
        QFETCH(bool, maxTypes);
        const Written result = written(columnClass, text(characters), {}, maxTypes);
        QCOMPARE(result.bytesFailed, result.failure.has_value());
        QStringEncoder encoder(QStringConverter::System);
        QCOMPARE(result.bytes, QByteArray(encoder(result.text)));
        QCOMPARE(result.units, result.text.size());
    }

    // A float or real literal reads back to the same bits; the limits of each
    // and 17 digits load back in the round trip.
    void numbersReadBackExactly_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("isReal");
        QTest::newRow("one third") << 1.0 / 3.0 << false;
        QTest::newRow("smallest subnormal") << std::numeric_limits<double>::denorm_min() << false;
        QTest::newRow("2^53 + 2") << 9007199254740994.0 << false;
        QTest::newRow("negative huge") << -1.2345678901234567e200 << false;
        QTest::newRow("pi") << 3.141592653589793 << false;
        QTest::newRow("zero") << 0.0 << false;
        QTest::newRow("1e15") << 1e15 << false;
        QTest::newRow("1e-7") << 1e-7 << false;
        QTest::newRow("real one third") << double(1.0f / 3.0f) << true;
        QTest::newRow("negative real") << double(-0.3f) << true;
    }

    void numbersReadBackExactly() {
        QFETCH(double, value);
        QFETCH(bool, isReal);
        const Written result = written(ColumnClass::N, isReal ? single(float(value)) : real(value));
        const QString literal = result.text.mid(1);
        QVERIFY2(numericLiteral.match(literal).hasMatch(), qPrintable(literal));
        QVERIFY2(isReal ? readsBackTo(literal, float(value)) : readsBackTo(literal, value),
                 qPrintable(literal));
    }

    // Fields no server gives a sql_variant column, refused whole: each base
    // type with its value loads back in the round trip's Variants table.
    void variantLiteralsRefused_data() {
        QTest::addColumn<FieldValue>("value");
        QTest::addColumn<QString>("info");
        QTest::newRow("number text that is no number") << text("1e5") << "int 10 0 4";
        QTest::newRow("fraction digit beyond the scale")
            << text("12:34:56.7891000") << "time 12 3 5";
        QTest::newRow("float without its value") << text("0.3") << "float 53 0 8";
        QTest::newRow("base type it cannot write") << text("x") << "sometype 0 0 8";
        QTest::newRow("properties it cannot read") << text("1") << "int 10";
    }

    void variantLiteralsRefused() {
        QFETCH(FieldValue, value);
        QFETCH(QString, info);
        const FieldValue infoField = text(info);
        const FieldValue none; // neither a number nor bytes
        QString out;
        const auto failure = failureOf([&] {
            appendVariantLiteral(out, VariantFields{value, infoField, none, none});
        });
        QVERIFY(failure.has_value());
        QVERIFY(out.isEmpty());
    }
};

QTEST_GUILESS_MAIN(ValueLiteralTest)
#include "ValueLiteralTest.moc"
