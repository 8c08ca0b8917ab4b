// The stand-in's value rules: how literals are read and stored the way SQL
// Server reads and stores them.

#include "standin/engine/SqlFunctions.h"
#include "standin/sql/Lexer.h"
#include "standin/values/CodePage1252.h"
#include "standin/values/DateTimeText.h"
#include "standin/values/ExactDecimal.h"
#include "standin/values/TemporalText.h"
#include "standin/values/ValueConversion.h"
#include "standin/values/Variant.h"

#include <QTest>

using namespace quarvex::standin;

namespace {

const int ok = int(DateTimeError::None);
const int unreadable = int(DateTimeError::Unreadable);
const int outOfRange = int(DateTimeError::OutOfRange);

SqlType declared(const QString& type) {
    return *SqlType::fromSqliteDeclaration(type);
}

} // namespace

class ValuesTest : public QObject {
    Q_OBJECT

private slots:
    void dateTimeLiterals_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("dateFormat");
        QTest::addColumn<bool>("small");
        QTest::addColumn<QString>("stored"); // empty: refused for why
        QTest::addColumn<int>("why");
        const auto row = [](const char* name, const char* text, const char* format, bool small,
                            const char* stored, int why = ok) {
            QTest::newRow(name) << text << format << small << stored << why;
        };
        row("year first under dmy swaps day and month", "2008-12-10 14:05:09.007", "dmy", false,
            "2008-10-12T14:05:09.007");
        row("unseparated ignores dmy", "20081210", "dmy", false, "2008-12-10T00:00:00.000");
        row("ISO with T ignores dmy", "2008-12-10T14:05:09", "dmy", false,
            "2008-12-10T14:05:09.000");
        row("dmy slashes", "12/10/2008", "dmy", false, "2008-10-12T00:00:00.000");
        row(".998 rounds down to .997", "2008-12-10 14:05:09.998", "mdy", false,
            "2008-12-10T14:05:09.997");
        row(".999 carries into the next day", "2008-12-31 23:59:59.999", "mdy", false,
            "2009-01-01T00:00:00.000");
        row("smalldatetime 29.998 s rounds down", "2008-12-10 14:05:29.998", "mdy", true,
            "2008-12-10T14:05:00.000");
        row("smalldatetime 29.999 s rounds up", "2008-12-10 14:05:29.999", "mdy", true,
            "2008-12-10T14:06:00.000");
        row("day 32", "2008-12-32", "mdy", false, "", unreadable);
        row("before 1753", "1752-12-31", "mdy", false, "", outOfRange);
        row("smalldatetime after 2079-06-06", "2079-06-07", "mdy", true, "", outOfRange);
    }

    void dateTimeLiterals() {
        QFETCH(QString, text);
        QFETCH(QString, dateFormat);
        QFETCH(bool, small);
        QFETCH(QString, stored);
        QFETCH(int, why);
        DateTimeError error = DateTimeError::None;
        const auto value = parseDateTime(text, dateFormat, small, &error);
        QCOMPARE(int(error), why);
        QCOMPARE(value ? storedDateTime(*value) : QString(), stored);
        if (value)
            QCOMPARE(fromStoredDateTime(stored), value);
    }

    void temporalLiterals_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("stored"); // read under dmy; empty: refused for why
        QTest::addColumn<int>("why");
        const auto row = [](const char* name, const char* type, const char* text,
                            const char* stored,
                            int why = ok) { QTest::newRow(name) << type << text << stored << why; };
        row("year first with dashes ignores dmy", "date", "2024-01-02", "2024-01-02");
        row("T form", "datetime2(3)", "2024-01-02T03:04:05.5", "2024-01-02 03:04:05.500");
        row("fraction rounds half up", "time(3)", "12:34:54.1235", "12:34:54.124");
        row("time wraps at midnight", "time(0)", "23:59:59.5", "00:00:00");
        row("rounding carries into the next day", "datetime2(2)", "2024-12-31 23:59:59.999",
            "2025-01-01 00:00:00.00");
        row("Z is +00:00", "datetimeoffset(3)", "2024-01-02T03:04:05Z",
            "2024-01-02 03:04:05.000 +00:00");
        row("datetime2 drops an offset", "datetime2(0)", "2024-01-02 03:04:05 -14:00",
            "2024-01-02 03:04:05");
        row("month 13", "date", "2024-13-01", "", unreadable);
        row("offset beyond 14 hours", "datetimeoffset(0)", "2024-01-02 03:04 +14:01", "",
            unreadable);
        row("rounding past 9999-12-31", "datetime2(0)", "9999-12-31 23:59:59.5", "", outOfRange);
    }

    void temporalLiterals() {
        QFETCH(QString, type);
        QFETCH(QString, text);
        QFETCH(QString, stored);
        QFETCH(int, why);
        DateTimeError error = DateTimeError::None;
        const auto value = parseTemporal(text, declared(type), QStringLiteral("dmy"), &error);
        QCOMPARE(int(error), why);
        QCOMPARE(value ? temporalText(*value, declared(type)) : QString(), stored);
    }

    void temporalStyles_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("style");
        QTest::addColumn<QString>("text");
        const QString moment = QStringLiteral("2024-01-02 03:04:05.1234567");
        QTest::newRow("no style is 121") << moment << noStyle << moment;
        QTest::newRow("120 drops the fraction") << moment << 120 << "2024-01-02 03:04:05";
        QTest::newRow("126 leaves out a zero fraction")
            << "2024-01-02 03:04:05.000" << 126 << "2024-01-02T03:04:05";
        QTest::newRow("style 0") << moment << 0 << "Jan  2 2024  3:04AM";
        QTest::newRow("datetimeoffset 127 in UTC, the day before")
            << "2024-01-02 03:04:05.1234567 +05:45" << 127 << "2024-01-01T21:19:05.1234567Z";
    }

    void temporalStyles() {
        QFETCH(QString, stored);
        QFETCH(int, style);
        QFETCH(QString, text);
        QCOMPARE(convertValue(declared("varchar(40)"), stored, QStringLiteral("dmy"), style),
                 QVariant(text));
    }

    void exactNumbers_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("precision");
        QTest::addColumn<int>("scale");
        QTest::addColumn<QString>("normal"); // empty: refused
        QTest::newRow("pads the scale") << "1.5" << 9 << 4 << "1.5000";
        QTest::newRow("rounds half away from zero") << "-2.345" << 9 << 2 << "-2.35";
        QTest::newRow("exponent") << "3.0000000000000004E-1" << 38 << 17 << "0.30000000000000004";
        QTest::newRow("negative zero is zero") << "-0.0001" << 9 << 2 << "0.00";
        QTest::newRow("rounding carries") << "9.999" << 9 << 2 << "10.00";
        QTest::newRow("overflow") << "123.4" << 4 << 2 << "";
    }

    void exactNumbers() {
        QFETCH(QString, text);
        QFETCH(int, precision);
        QFETCH(int, scale);
        QFETCH(QString, normal);
        QCOMPARE(normalizeDecimal(text, precision, scale).value_or(QString()), normal);
    }

    void stringLiterals_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        const int string = int(Token::String);
        QTest::newRow("doubled apostrophe") << "'O''Brien'" << string << "O'Brien";
        QTest::newRow("backslash before CR LF continues the line")
            << "'abc\\\r\ndef'" << string << "abcdef";
        QTest::newRow("backslash before LF continues the line")
            << "'abc\\\ndef'" << string << "abcdef";
        QTest::newRow("backslash elsewhere stays") << "'a\\b'" << string << "a\\b";
        QTest::newRow("bracketed name with ]] doubled")
            << "[a]]b]" << int(Token::QuotedName) << "a]b";
        QTest::newRow("bare 0x") << "0x" << int(Token::Binary) << "";
    }

    void stringLiterals() {
        QFETCH(QString, source);
        QFETCH(int, kind);
        QFETCH(QString, text);
        const LexResult result = lex(source);
        QVERIFY(!result.unclosedQuote);
        QCOMPARE(result.tokens.size(), 2);
        QCOMPARE(int(result.tokens[0].kind), kind);
        QCOMPARE(result.tokens[0].text, text);
    }

    void like_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("matches");
        const auto row = [](const char* name, const char* value, const char* pattern, bool match) {
            QTest::newRow(name) << value << pattern << match;
        };
        row("prefix, other case", "spListProducts", "SP%", true);
        row("prefix missing", "GetOverdueOrders", "sp%", false);
        row("underscore one character", "fnA", "fn_", true);
        row("trailing blanks of the value ignored", "U ", "U", true);
    }

    void like() {
        QFETCH(QString, value);
        QFETCH(QString, pattern);
        QFETCH(bool, matches);
        QCOMPARE(likeMatches(value, pattern), matches);
    }

    // A value as a column of the type keeps it, or the error SQL Server gives.
    void storedForms_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("number"); // the error's, 0: stored
        const auto row = [](const char* name, const char* type, const QVariant& value,
                            const QVariant& stored, int number = 0) {
            QTest::newRow(name) << type << value << stored << number;
        };
        row("char padded", "char(5)", "ab", "ab   ");
        row("trailing blanks beyond varchar length dropped", "varchar(2)", "ab  ", "ab");
        row("binary padded with zeros", "binary(3)", QByteArray("\x01", 1),
            QByteArray("\x01\x00\x00", 3));
        row("varchar loses what 1252 lacks", "varchar(10)", QStringLiteral("é€中"),
            QStringLiteral("é€?"));
        row("short exact number as a double", "money", "12.3456", 12.3456);
        row("long exact number as its digits", "decimal(38,10)", "1234567890123456.5",
            "1234567890123456.5000000000");
        row("real rounds to single precision", "real", 0.1, double(0.1f));
        row("varchar too long", "varchar(3)", "abcd", {}, 8152);
        row("tinyint 256", "tinyint", qint64(256), {}, 220);
        row("int from words", "int", "abc", {}, 245);
        row("decimal overflow", "decimal(4,2)", "123.4", {}, 8115);
        row("bad date", "datetime", "2008-02-30", {}, 241);
    }

    void storedForms() {
        QFETCH(QString, type);
        QFETCH(QVariant, value);
        QFETCH(QVariant, stored);
        QFETCH(int, number);
        try {
            QCOMPARE(storeValue(declared(type), value, QStringLiteral("mdy")), stored);
            QCOMPARE(0, number);
        } catch (const SqlError& error) {
            QCOMPARE(error.number, number);
        }
    }

    // A sql_variant keeps the type it was made from: its properties, and
    // what it converts to as its base value would. An empty result: error
    // 206, the type has no variant form.
    void variants_data() {
        QTest::addColumn<QString>("type"); // the value's own; empty: the value tells
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("properties");
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("style");
        QTest::addColumn<QString>("converted"); // bytes as hex
        const auto row = [](const char* name, const QString& type, const QVariant& value,
                            const QString& properties, const QString& target, int style,
                            const QString& converted) {
            QTest::newRow(name) << type << value << properties << target << style << converted;
        };
        row("decimal keeps precision and scale", "decimal(38,10)", 1.5, "decimal 38 10 17",
            "nvarchar(100)", noStyle, "1.5000000000");
        row("money as text: two decimals", "money", 1.5, "money 19 4 8", "nvarchar(30)", noStyle,
            "1.50");
        row("money as text: four with style 2", "money", 1.5, "money 19 4 8", "nvarchar(30)", 2,
            "1.5000");
        row("nvarchar length in bytes", "nvarchar(20)", "abc", "nvarchar 0 0 40", "varbinary(max)",
            noStyle, "610062006300");
        row("sysname is nvarchar(128)", "sysname", "x", "nvarchar 0 0 256", "nvarchar(10)", noStyle,
            "x");
        row("float to its bits", "float", 0.30000000000000004, "float 53 0 8", "varbinary(8)",
            noStyle, "3fd3333333333334");
        row("datetime in style 121", "datetime", "2008-12-10T14:05:09.997", "datetime 23 3 8",
            "nvarchar(30)", 121, "2008-12-10 14:05:09.997");
        row("datetime2 keeps its scale", "datetime2(3)", "2009-03-02 16:45:12.123",
            "datetime2 23 3 7", "datetime2(7)", noStyle, "2009-03-02 16:45:12.1230000");
        row("bigint from the value alone", "", qint64(3000000000), "bigint 19 0 8", "int", noStyle,
            "");
        row("text from the value alone is nvarchar", "", "ab", "nvarchar 0 0 4", "varchar(1)",
            noStyle, "a");
        row("a max type has no variant form", "nvarchar(max)", "x", "", "", noStyle, "");
    }

    void variants() {
        QFETCH(QString, type);
        QFETCH(QVariant, value);
        QFETCH(QString, properties);
        QFETCH(QString, target);
        QFETCH(int, style);
        QFETCH(QString, converted);
        QVariant variant;
        try {
            variant = toVariant(type, value);
        } catch (const SqlError& error) {
            QCOMPARE(error.number, 206);
            QVERIFY(properties.isEmpty());
            return;
        }
        QStringList read;
        for (const char* property : {"BaseType", "Precision", "Scale", "MaxLength"})
            read << variantProperty(variant, property).toString();
        QCOMPARE(read.join(' '), properties);
        QString result;
        try {
            const QVariant value2 = convertValue(declared(target), variant, "dmy", style);
            result = value2.typeId() == QMetaType::QByteArray ? value2.toByteArray().toHex()
                                                              : value2.toString();
        } catch (const SqlError& error) {
            QCOMPARE(error.number, 8115); // 3000000000 does not fit an int
        }
        QCOMPARE(result, converted);
    }

    void variantNullStaysNull() {
        QVERIFY(toVariant("int", QVariant()).isNull());
        QVERIFY(variantProperty(QVariant(), "BaseType").isNull());
    }

    void codePage1252() {
        const QString text = QStringLiteral("é€Ÿ");
        QCOMPARE(toCodePage1252(text), QByteArray("\xE9\x80\x9F"));
        QCOMPARE(fromCodePage1252(toCodePage1252(text)), text);
    }

    void batchesSplitAtGoLines() {
        const QStringList batches = splitBatches(QStringLiteral(
            "set nocount on\r\nGO\r\n\r\ninsert t values ('go')\r\n go \r\nprint 'x'\r\n"));
        QCOMPARE(batches.size(), 3);
        QCOMPARE(batches[1].trimmed(), QStringLiteral("insert t values ('go')"));
    }
};

QTEST_GUILESS_MAIN(ValuesTest)
#include "ValuesTest.moc"
