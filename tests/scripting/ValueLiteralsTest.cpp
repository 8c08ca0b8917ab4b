#include "scripting/ValueLiterals.h"

#include "scripting/Utf8Script.h"

#include "base/ProcedureError.h"
#include "db/ExactNumber.h"
#include "scripting/VariantLiteral.h"

#include <QRegularExpression>
#include <QStringEncoder>
#include <QTest>
#include <charconv>
#include <cstring>
#include <limits>

using namespace quarvex;

Q_DECLARE_METATYPE(quarvex::ColumnClass)

namespace {

// What the server accepts as a numeric or float literal.
const QRegularExpression numericLiteral(QStringLiteral(R"(^-?\d+(\.\d+)?(E-?\d+)?$)"));

template <typename Float> Float readBack(const QString& literal) {
    const QByteArray text = literal.toLatin1();
    Float value{};
    const auto result = std::from_chars(text.constData(), text.constData() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.constData() + text.size())
        return std::numeric_limits<Float>::quiet_NaN();
    return value;
}

template <typename Float> bool sameBits(Float a, Float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

QDateTime at(int y, int mo, int d, int h, int mi, int s, int ms) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::UTC);
}

// Text with every "@" turned into a NUL, which a C++ literal cannot carry.
QString withNuls(QString text) {
    return text.replace(u'@', QChar(0));
}

// A text literal as an 8-bit script file receives it: encoded by the file
// layer from the QString literal, and written straight as UTF-8 from the
// characters, with the lengths counted in UTF-16 code units. A value that
// cannot be written raises either way, the direct way before writing.
struct EightBitLiteral {
    QByteArray viaString;
    QByteArray direct;
    qsizetype stringLength = 0;
    qsizetype directLength = 0;
    bool stringFailed = false;
    bool directFailed = false;
};

EightBitLiteral eightBitLiteral(const QString& text, ColumnClass columnClass,
                                bool maxTypesAvailable) {
    EightBitLiteral literal;
    QString viaString;
    literal.stringFailed = failureOf([&] {
                               viaString = textLiteral(text, columnClass, maxTypesAvailable);
                           }).has_value();
    QStringEncoder encoder(QStringConverter::System);
    literal.viaString = encoder(viaString);
    literal.stringLength = viaString.size();
    Utf8Script direct;
    literal.directFailed = failureOf([&] {
                               appendTextLiteral(direct, text, columnClass, maxTypesAvailable);
                           }).has_value();
    literal.direct = direct.bytes().toByteArray();
    literal.directLength = direct.size();
    return literal;
}

} // namespace

class ValueLiteralsTest : public QObject {
    Q_OBJECT

private slots:
    // Apostrophes, empty texts, NULL, bits, 17-digit floats, .997 and the
    // limits of each type: the round trip loads them back.
    void literals_data() {
        QTest::addColumn<ColumnClass>("columnClass");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QVariant>("milliseconds");
        QTest::addColumn<QString>("literal");
        const auto row = [](const char* name, ColumnClass columnClass, const QVariant& value,
                            const QString& literal, const QVariant& milliseconds = {}) {
            QTest::newRow(name) << columnClass << value << milliseconds << literal;
        };
        using enum ColumnClass;
        row("float short enough for plain decimal", N, -123.456, "-123.456");
        row("whole float", N, 100000.0, "100000");
        row("tiny float", N, 1.5e-300, "1.5E-300");
        row("zeros after the point", N, 0.00012, "0.00012");
        row("negative float with exponent", N, -2.5e-8, "-2.5E-8");
        row("real", N, 0.1f, "0.1");
        row("milliseconds padded", D, at(2008, 12, 10, 14, 5, 9, 7), "'2008-12-10 14:05:09.007'",
            7);
    }

    void literals() {
        QFETCH(ColumnClass, columnClass);
        QFETCH(QVariant, value);
        QFETCH(QVariant, milliseconds);
        QFETCH(QString, literal);
        QCOMPARE(valueLiteral(columnClass, value, milliseconds), literal);
    }

    // The newer types arrive as the server's text (style 121) or bytes. An
    // empty literal: the value is refused.
    void newerTypeLiterals_data() {
        QTest::addColumn<ColumnClass>("columnClass");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("scale");
        QTest::addColumn<QString>("literal");
        const auto row = [](const char* name, ColumnClass columnClass, const QVariant& value,
                            int scale, const QString& literal) {
            QTest::newRow(name) << columnClass << value << scale << literal;
        };
        using enum ColumnClass;
        row("time(0) without a point", Time, "23:59:59", 0, "'23:59:59'");
        row("every fraction digit added", Time, "23:59:59", 7, "'23:59:59.0000000'");
        row("missing fraction digits added", DateTime2, "2009-03-02 16:45:12.1", 3,
            "'2009-03-02 16:45:12.100'");
        row("surplus zeros dropped", DateTime2, "2009-03-02 16:45:12.1230000", 3,
            "'2009-03-02 16:45:12.123'");
        row("datetime2(0) loses only zeros", DateTime2, "9999-12-31 23:59:59.000", 0,
            "'9999-12-31 23:59:59'");
        row("surplus digit that is not zero", DateTime2, "2009-03-02 16:45:12.1234", 3, "");
        row("zero offset is +00:00", DateTimeOffset, "2009-03-02 10:00:00.5 -00:00", 1,
            "'2009-03-02 10:00:00.5 +00:00'");
        row("offset missing", DateTimeOffset, "2009-03-02 10:00:00", 0, "");
        row("day first", Date, "02/03/2009", 0, "");
        row("a time for a date", Date, "10:00:00", 0, "");
        row("a point without digits", Time, "10:00:00.", 3, "");
        row("text after the value", Time, "10:00:00 x", 0, "");
        row("null", DateTimeOffset, QVariant(), 7, "null");
        row("geometry", Geometry, QByteArray("\x00\x0A", 2), 0, "convert(geometry,0x000A)");
    }

    void newerTypeLiterals() {
        QFETCH(ColumnClass, columnClass);
        QFETCH(QVariant, value);
        QFETCH(int, scale);
        QFETCH(QString, literal);
        QString written;
        const auto failure =
            failureOf([&] { written = valueLiteral(columnClass, value, {}, true, scale); });
        QCOMPARE(failure.has_value(), literal.isEmpty());
        QCOMPARE(written, literal);
    }

    // A sql_variant from its fields: the text, the base type with its
    // precision, scale and maximum length, the float and the bytes. The base type's length,
    // precision and scale come back with it. An empty literal: refused.
    void variantLiterals_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("info");
        QTest::addColumn<QVariant>("number");
        QTest::addColumn<QVariant>("bytes");
        QTest::addColumn<QString>("literal");
        const auto row = [](const char* name, const QString& text, const QString& info,
                            const QVariant& number, const QVariant& bytes, const QString& literal) {
            QTest::newRow(name) << text << info << number << bytes << literal;
        };
        const QString none;
        const auto wrapped = [](const QString& inner) {
            return "convert(sql_variant,convert(" + inner + "))";
        };
        row("int", "-2147483648", "int 10 0 4", {}, {}, wrapped("int,-2147483648"));
        row("float from its value, not its text", none, "float 53 0 8", 0.30000000000000004, {},
            wrapped("float,3.0000000000000004E-1"));
        row("real with a real's digits", none, "real 24 0 4", double(1.17549435E-38f), {},
            wrapped("real,1.1754944E-38"));
        row("null", none, none, {}, {}, "null");
        row("number text that is no number", "1e5", "int 10 0 4", {}, {}, "");
        row("fraction digit beyond the scale", "12:34:56.7891000", "time 12 3 5", {}, {}, "");
        row("float without its value", "0.3", "float 53 0 8", {}, {}, "");
        row("base type it cannot write", "x", "sometype 0 0 8", {}, {}, "");
        row("properties it cannot read", "1", "int 10", {}, {}, "");
    }

    void variantLiterals() {
        QFETCH(QString, text);
        QFETCH(QString, info);
        QFETCH(QVariant, number);
        QFETCH(QVariant, bytes);
        QFETCH(QString, literal);
        const auto field = [](bool present, FieldValue::Kind kind) {
            FieldValue value;
            value.kind = present ? kind : FieldValue::Kind::Null;
            return value;
        };
        FieldValue textField = field(!text.isNull(), FieldValue::Kind::Text);
        textField.text = text;
        FieldValue infoField = field(!info.isNull(), FieldValue::Kind::Text);
        infoField.text = info;
        FieldValue numberField = field(number.isValid(), FieldValue::Kind::Double);
        numberField.real = number.toDouble();
        FieldValue bytesField = field(bytes.isValid(), FieldValue::Kind::Bytes);
        bytesField.bytes = bytes.toByteArray();
        QString written;
        const auto failure = failureOf([&] {
            appendVariantLiteral(written,
                                 VariantFields{textField, infoField, numberField, bytesField});
        });
        QCOMPARE(failure.has_value(), literal.isEmpty());
        QCOMPARE(written, literal);
    }

    // Places that the server, the client or a batch runner (tsql, sqlcmd)
    // would change are cut out of the literal; nothing else is.
    void textLiterals_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<ColumnClass>("columnClass");
        QTest::addColumn<QString>("literal");
        const auto row = [](const char* name, const QString& text, ColumnClass columnClass,
                            const QString& literal) {
            QTest::newRow(name) << text << columnClass << literal;
        };
        const ColumnClass C = ColumnClass::C;
        const ColumnClass U = ColumnClass::U;
        row("backslash before LF, unicode", "x\\\ny", U, "N'x\\'+N'\ny'");
        row("backslash elsewhere", "a\\b\\", C, "'a\\b\\'");
        row("apostrophes doubled in every piece", "it's\\\nme'", C, "'it''s\\'+'\nme'''");
        row("NULs first in nvarchar", withNuls("@@x"), U, "nchar(0)+nchar(0)+N'x'");
        row("NUL right after a command word", withNuls("a\nexit@"), C, "'a\n'+'exit'+char(0)");
        row("go with blanks, lower case, at the end", "a\n \tgo ", U, "N'a\n'+N' \tgo '");
        row("GO with a count", "a\nGO 2", C, "'a\n'+'GO 2'");
        row("sqlcmd exit with a query", "a\nexit(select 1)", C, "'a\n'+'exit(select 1)'");
        row("sqlcmd :r", "a\n:r x", C, "'a\n'+':r x'");
        row("sqlcmd :setvar after blanks", "a\n  :setvar V 1", C, "'a\n'+'  :setvar V 1'");
        row("sqlcmd !!", "a\n!!ls", U, "N'a\n'+N'!!ls'");
        row("sqlcmd variable", "cost $(x) $", C, "'cost $'+'(x) $'");
        row("dollar and parenthesis apart", "$ ( $x (", C, "'$ ( $x ('");
        row("exited is no command", "a\nexited", C, "'a\nexited'");
        row("editor is no command", "a\neditor", U, "N'a\neditor'");
        row("gone is no command", "a\ngone", C, "'a\ngone'");
        row("a command word later in the line", "a\nsay exit", C, "'a\nsay exit'");
        row("the first line is no line of its own", "GO\nexit", C, "'GO\n'+'exit'");
    }

    void textLiterals() {
        QFETCH(QString, text);
        QFETCH(ColumnClass, columnClass);
        QFETCH(QString, literal);
        QCOMPARE(textLiteral(text, columnClass, true), literal);
        const EightBitLiteral eightBit = eightBitLiteral(text, columnClass, true);
        QCOMPARE(eightBit.direct, eightBit.viaString);
    }

    // The UTF-8 writer takes up to sixteen characters at a time and looks
    // closer at the first that is not plain; whatever stands at the edges of
    // those runs, it writes the bytes the file layer makes of the QString.
    void eightBitTextAtRunEdges_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<ColumnClass>("columnClass");
        QTest::addColumn<bool>("maxTypesAvailable");
        const auto row = [](const char* name, const QString& text,
                            ColumnClass columnClass = ColumnClass::C, bool maxTypes = true) {
            QTest::newRow(name) << text << columnClass << maxTypes;
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
        QFETCH(QString, text);
        QFETCH(ColumnClass, columnClass);
        QFETCH(bool, maxTypesAvailable);
        const EightBitLiteral literal = eightBitLiteral(text, columnClass, maxTypesAvailable);
        QCOMPARE(literal.directFailed, literal.stringFailed);
        QCOMPARE(literal.direct, literal.viaString);
        QCOMPARE(literal.directLength, literal.stringLength);
    }

    // A split value longer than 8000 bytes starts with a max type, so that
    // the concatenation is not cut; servers before 2005 have none.
    void longSplitTextLiterals_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<ColumnClass>("columnClass");
        QTest::addColumn<bool>("maxTypesAvailable");
        QTest::addColumn<QString>("literal"); // empty: the value cannot be written
        const auto row = [](const char* name, const QString& text, ColumnClass columnClass,
                            bool maxTypes, const QString& literal) {
            QTest::newRow(name) << text << columnClass << maxTypes << literal;
        };
        const QString x8000(8000, u'x');
        const QString x4000(4000, u'x');
        using enum ColumnClass;
        row("NUL after 8000 bytes", x8000 + QChar(0), C, true,
            "convert(varchar(max),'" + x8000 + "')+char(0)");
        row("NUL first", QChar(0) + x8000, C, true,
            "convert(varchar(max),char(0))+'" + x8000 + "'");
        row("8000 characters in all fit before 2005", QString(7998, u'x') + "$(", C, false,
            "'" + QString(7998, u'x') + "$'+'('");
        row("longer before 2005", x4000 + "\nGO", U, false, "");
        row("NUL in a long value before 2005", x8000 + QChar(0), C, false, "");
        row("long value without cuts before 2005", QString(9000, u'y'), C, false,
            "'" + QString(9000, u'y') + "'");
    }

    void longSplitTextLiterals() {
        QFETCH(QString, text);
        QFETCH(ColumnClass, columnClass);
        QFETCH(bool, maxTypesAvailable);
        QFETCH(QString, literal);
        QString written;
        const auto failure =
            failureOf([&] { written = textLiteral(text, columnClass, maxTypesAvailable); });
        QCOMPARE(failure.has_value(), literal.isEmpty());
        QCOMPARE(written, literal);
    }

    // A float or real literal reads back to the same bits; the limits of
    // each: the round trip.
    void numbersReadBackExactly_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("real");
        QTest::newRow("one third") << 1.0 / 3.0 << false;
        QTest::newRow("17 digits") << 0.1 + 0.2 << false;
        QTest::newRow("smallest subnormal") << std::numeric_limits<double>::denorm_min() << false;
        QTest::newRow("2^53 + 2") << 9007199254740994.0 << false;
        QTest::newRow("negative huge") << -1.2345678901234567e200 << false;
        QTest::newRow("pi") << 3.141592653589793 << false;
        QTest::newRow("zero") << 0.0 << false;
        QTest::newRow("1e15") << 1e15 << false;
        QTest::newRow("1e-7") << 1e-7 << false;
        QTest::newRow("real one third") << double(1.0f / 3.0f) << true;
        QTest::newRow("real needing 9 digits") << double(10.0000105f) << true;
        QTest::newRow("negative real") << double(-0.3f) << true;
    }

    void numbersReadBackExactly() {
        QFETCH(double, value);
        QFETCH(bool, real);
        const QString literal = real ? numberLiteral(float(value)) : numberLiteral(value);
        QVERIFY2(numericLiteral.match(literal).hasMatch(), qPrintable(literal));
        QVERIFY2(real ? sameBits(readBack<float>(literal), float(value))
                      : sameBits(readBack<double>(literal), value),
                 qPrintable(literal));
    }

    void refusesWhatIsNoNumber_data() {
        QTest::addColumn<QVariant>("value");
        QTest::newRow("grouping comma") << QVariant::fromValue(ExactNumber{"1,5"});
        QTest::newRow("injected text") << QVariant::fromValue(ExactNumber{"1);drop table x--"});
        QTest::newRow("two points") << QVariant::fromValue(ExactNumber{"1.2.3"});
        QTest::newRow("bare minus") << QVariant::fromValue(ExactNumber{"-"});
        QTest::newRow("infinity") << QVariant(std::numeric_limits<double>::infinity());
        QTest::newRow("text") << QVariant(QStringLiteral("12"));
    }

    void refusesWhatIsNoNumber() {
        QFETCH(QVariant, value);
        QVERIFY(failureOf([&] { numberLiteral(value); }).has_value());
    }

    void invalidDateNamesGetDate() {
        const auto failure = failureOf([] { GetDate(QDateTime(), 0); });
        QVERIFY(failure.has_value());
        QVERIFY2(failure->description.startsWith("GetDate: "), qPrintable(failure->description));
    }
};

QTEST_GUILESS_MAIN(ValueLiteralsTest)
#include "ValueLiteralsTest.moc"
