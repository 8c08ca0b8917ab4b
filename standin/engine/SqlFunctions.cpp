#include "standin/engine/SqlFunctions.h"

#include "standin/engine/EngineContext.h"
#include "standin/engine/ForeignKeys.h"
#include "standin/engine/Session.h"
#include "standin/sql/Translator.h"
#include "standin/store/Catalogue.h"
#include "standin/values/DateTimeText.h"
#include "standin/values/ExactDecimal.h"
#include "standin/values/TemporalText.h"
#include "standin/values/ValueConversion.h"
#include "standin/values/Variant.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QUuid>
#include <cmath>
#include <cstring>
#include <sqlite3.h>

namespace quarvex::standin {

namespace {

EngineContext* engineOf(sqlite3_context* context) {
    return static_cast<EngineContext*>(sqlite3_user_data(context));
}

QVariant arg(sqlite3_value* value) {
    switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_value_int64(value)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_value_double(value));
    case SQLITE_TEXT:
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(value)),
                                 sqlite3_value_bytes(value));
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char*>(sqlite3_value_blob(value)),
                          sqlite3_value_bytes(value));
    default:
        return QVariant();
    }
}

void result(sqlite3_context* context, const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::Bool:
        sqlite3_result_int64(context, value.toLongLong());
        break;
    case QMetaType::Double:
        sqlite3_result_double(context, value.toDouble());
        break;
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        sqlite3_result_blob(context, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
        break;
    }
    default:
        if (value.isNull() || !value.isValid()) {
            sqlite3_result_null(context);
        } else {
            const QByteArray text = value.toString().toUtf8();
            sqlite3_result_text(context, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        }
    }
}

void fail(sqlite3_context* context, const SqlError& error) {
    const QByteArray text = QStringLiteral("tsql:%1:%2:%3:%4:%5")
                                .arg(error.number)
                                .arg(error.severity)
                                .arg(error.state)
                                .arg(error.abortsBatch ? 1 : 0)
                                .arg(error.message)
                                .toUtf8();
    sqlite3_result_error(context, text.constData(), int(text.size()));
}

QString dateFormatOf(sqlite3_context* context) {
    const Session* session = engineOf(context)->currentSession();
    return session ? session->dateFormat : QStringLiteral("mdy");
}

SqlType typeOf(const QString& declaration) {
    static QHash<QString, SqlType> cache;
    auto it = cache.constFind(declaration);
    if (it != cache.constEnd())
        return *it;
    const SqlType type = SqlType::fromSqliteDeclaration(declaration).value_or(SqlType{});
    cache.insert(declaration, type);
    return type;
}

// Wraps a function body so that a thrown SqlError becomes a SQLite error.
template <typename Body> void guarded(sqlite3_context* context, Body body) {
    try {
        body();
    } catch (const SqlError& error) {
        fail(context, error);
    }
}

// Whether text has the shape of a stored date or time ('yyyy-mm-dd...' or
// 'hh:mm:ss...'): a cheap test before reading it.
bool looksTemporal(const char* text, int length) {
    return (length >= 10 && text[4] == '-' && text[7] == '-') ||
           (length >= 8 && text[2] == ':' && text[5] == ':');
}

// Stored values of date, time, datetime2 and datetimeoffset compare by what
// they mean: a datetimeoffset by its instant, and the same moment at two
// scales ('10:00:00' and '10:00:00.000') is equal.
std::optional<int> compareAsTemporal(const char* a, int lengthA, const char* b, int lengthB) {
    if (!looksTemporal(a, lengthA) || !looksTemporal(b, lengthB))
        return std::nullopt;
    const auto storedA = fromStoredTemporal(QString::fromLatin1(a, lengthA));
    const auto storedB = fromStoredTemporal(QString::fromLatin1(b, lengthB));
    if (!storedA || !storedB)
        return std::nullopt;
    return compareTemporal(*storedA, *storedB);
}

int compareCollated(void*, int lengthA, const void* a, int lengthB, const void* b) {
    auto trimmed = [](const char* text, int length) {
        while (length > 0 && text[length - 1] == ' ')
            --length;
        return length;
    };
    const char* textA = static_cast<const char*>(a);
    const char* textB = static_cast<const char*>(b);
    lengthA = trimmed(textA, lengthA);
    lengthB = trimmed(textB, lengthB);
    if (const auto temporal = compareAsTemporal(textA, lengthA, textB, lengthB))
        return *temporal;
    bool ascii = true;
    for (int i = 0; i < lengthA && ascii; ++i)
        ascii = static_cast<unsigned char>(textA[i]) < 128;
    for (int i = 0; i < lengthB && ascii; ++i)
        ascii = static_cast<unsigned char>(textB[i]) < 128;
    if (ascii) {
        const int common = qMin(lengthA, lengthB);
        for (int i = 0; i < common; ++i) {
            const int ca = std::tolower(static_cast<unsigned char>(textA[i]));
            const int cb = std::tolower(static_cast<unsigned char>(textB[i]));
            if (ca != cb)
                return ca < cb ? -1 : 1;
        }
        return lengthA == lengthB ? 0 : (lengthA < lengthB ? -1 : 1);
    }
    const QString sa = QString::fromUtf8(textA, lengthA);
    const QString sb = QString::fromUtf8(textB, lengthB);
    const int c = sa.compare(sb, Qt::CaseInsensitive);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// A case-sensitive collation's equality: trailing blanks ignored, every
// other byte counts. (Its order is the bytes', not the collation's.)
int compareCaseSensitive(void*, int lengthA, const void* a, int lengthB, const void* b) {
    const char* textA = static_cast<const char*>(a);
    const char* textB = static_cast<const char*>(b);
    while (lengthA > 0 && textA[lengthA - 1] == ' ')
        --lengthA;
    while (lengthB > 0 && textB[lengthB - 1] == ' ')
        --lengthB;
    const int c = std::memcmp(textA, textB, std::size_t(qMin(lengthA, lengthB)));
    if (c != 0)
        return c < 0 ? -1 : 1;
    return lengthA == lengthB ? 0 : (lengthA < lengthB ? -1 : 1);
}

bool sameLetter(QChar a, QChar b) {
    return a == b || a.toCaseFolded() == b.toCaseFolded();
}

bool matchAt(const QString& v, int vi, const QString& p, int pi, QChar escape) {
    while (pi < p.size()) {
        const QChar c = p[pi];
        if (!escape.isNull() && c == escape && pi + 1 < p.size()) {
            if (vi >= v.size() || !sameLetter(v[vi], p[pi + 1]))
                return false;
            ++vi;
            pi += 2;
            continue;
        }
        if (c == u'%') {
            while (pi < p.size() && p[pi] == u'%')
                ++pi;
            if (pi == p.size())
                return true;
            for (int k = vi; k <= v.size(); ++k)
                if (matchAt(v, k, p, pi, escape))
                    return true;
            return false;
        }
        if (vi >= v.size())
            return false;
        if (c == u'_') {
            ++vi;
            ++pi;
            continue;
        }
        if (c == u'[') {
            const int close = int(p.indexOf(u']', pi + 1));
            if (close > pi + 1) {
                QString set = p.mid(pi + 1, close - pi - 1);
                const bool negate = set.startsWith(u'^');
                if (negate)
                    set.remove(0, 1);
                bool found = false;
                const QChar ch = v[vi].toCaseFolded();
                for (int k = 0; k < set.size() && !found; ++k) {
                    if (k + 2 < set.size() && set[k + 1] == u'-') {
                        found = ch >= set[k].toCaseFolded() && ch <= set[k + 2].toCaseFolded();
                        k += 2;
                    } else {
                        found = sameLetter(ch, set[k]);
                    }
                }
                if (found == negate)
                    return false;
                ++vi;
                pi = close + 1;
                continue;
            }
        }
        if (!sameLetter(v[vi], c))
            return false;
        ++vi;
        ++pi;
    }
    return vi == v.size();
}

void likeFunction(sqlite3_context* context, int argc, sqlite3_value** argv) {
    for (int i = 0; i < argc; ++i)
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL)
            return sqlite3_result_null(context);
    const QString escape = argc > 2 ? arg(argv[2]).toString() : QString();
    sqlite3_result_int(context, likeMatches(arg(argv[0]).toString(), arg(argv[1]).toString(),
                                            escape.isEmpty() ? QChar() : escape[0]));
}

QVariant asNumber(const QVariant& v) {
    if (v.typeId() != QMetaType::QString)
        return v;
    bool ok = false;
    const qint64 n = v.toString().trimmed().toLongLong(&ok);
    if (ok)
        return n;
    const auto d = readDouble(v.toString());
    if (!d)
        throw SqlError{245,
                       QStringLiteral("Conversion failed when converting the varchar value '%1' "
                                      "to data type int.")
                           .arg(v.toString()),
                       16, 1, true};
    return *d;
}

void addFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    guarded(context, [&] {
        const QVariant a = arg(argv[0]);
        const QVariant b = arg(argv[1]);
        if (a.isNull() || b.isNull())
            return sqlite3_result_null(context);
        const int fa = sqlite3_value_int(argv[2]);
        const int fb = sqlite3_value_int(argv[3]);
        auto kindOf = [](const QVariant& v, int flags) {
            if ((flags & 7) != AddUnknown)
                return flags & 7;
            switch (v.typeId()) {
            case QMetaType::QString:
                return int(AddString);
            case QMetaType::QByteArray:
                return int(AddBinary);
            default:
                return int(AddNumber);
            }
        };
        const int ka = kindOf(a, fa);
        const int kb = kindOf(b, fb);
        const bool stringA = ka == AddString || ka == AddUnicode;
        const bool stringB = kb == AddString || kb == AddUnicode;
        if (stringA && stringB) {
            // Concatenation is cut at 8000 bytes (4000 Unicode characters)
            // unless an operand is a max type or already longer than that.
            const bool unicode = ka == AddUnicode || kb == AddUnicode;
            const int limit = unicode ? 4000 : 8000;
            const QString sa = a.toString();
            const QString sb = b.toString();
            const bool max = ((fa | fb) & AddMax) || sa.size() > limit || sb.size() > limit;
            QString joined = sa + sb;
            if (!max && joined.size() > limit)
                joined.truncate(limit);
            return result(context, joined);
        }
        if (ka == AddBinary && kb == AddBinary)
            return result(context, a.toByteArray() + b.toByteArray());
        const QVariant na = asNumber(a);
        const QVariant nb = asNumber(b);
        if (na.typeId() == QMetaType::LongLong && nb.typeId() == QMetaType::LongLong) {
            qint64 sum = 0;
            if (!__builtin_add_overflow(na.toLongLong(), nb.toLongLong(), &sum))
                return result(context, sum);
        }
        result(context, na.toDouble() + nb.toDouble());
    });
}

void divideFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    guarded(context, [&] {
        const QVariant a = asNumber(arg(argv[0]));
        const QVariant b = asNumber(arg(argv[1]));
        if (a.isNull() || b.isNull())
            return sqlite3_result_null(context);
        if (b.toDouble() == 0)
            throw SqlError{8134, QStringLiteral("Divide by zero error encountered."), 16, 1, false};
        if (a.typeId() == QMetaType::LongLong && b.typeId() == QMetaType::LongLong)
            return result(context, a.toLongLong() / b.toLongLong());
        result(context, a.toDouble() / b.toDouble());
    });
}

void floatFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    result(context, readDouble(arg(argv[0]).toString()).value_or(0.0));
}

void decimalFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    // A decimal literal: a double when that holds its digits, else its text.
    const QString text = arg(argv[0]).toString();
    const int scale = text.contains(u'.') ? int(text.size() - text.indexOf(u'.') - 1) : 0;
    guarded(context, [&] {
        result(context, storeValue(SqlType{BaseType::Numeric, 0, 38, qMin(scale, 38)}, text,
                                   QStringLiteral("mdy")));
    });
}

void storeFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    guarded(context, [&] {
        result(context,
               storeValue(typeOf(arg(argv[0]).toString()), arg(argv[1]), dateFormatOf(context)));
    });
}

void convertFunction(sqlite3_context* context, int argc, sqlite3_value** argv) {
    guarded(context, [&] {
        const int style = argc > 2 ? sqlite3_value_int(argv[2]) : noStyle;
        result(context, convertValue(typeOf(arg(argv[0]).toString()), arg(argv[1]),
                                     dateFormatOf(context), style));
    });
}

void variantFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    guarded(context, [&] { result(context, toVariant(arg(argv[0]).toString(), arg(argv[1]))); });
}

void variantPropertyFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    result(context, variantProperty(arg(argv[0]), arg(argv[1]).toString()));
}

void nextIdentityFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    EngineContext* engine = engineOf(context);
    const int objectId = sqlite3_value_int(argv[0]);
    IdentityState state = engine->catalogue().identity(objectId).value_or(IdentityState{});
    state.current = state.used ? state.current + state.increment : state.current;
    state.used = true;
    engine->catalogue().setIdentity(objectId, state);
    if (Session* session = engine->currentSession())
        session->lastIdentity = state.current;
    sqlite3_result_int64(context, state.current);
}

void seenIdentityFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    guarded(context, [&] {
        EngineContext* engine = engineOf(context);
        const int objectId = sqlite3_value_int(argv[0]);
        const QVariant value = storeValue(SqlType{BaseType::BigInt, 0, 0, 0}, arg(argv[1]), {});
        if (value.isNull())
            throw SqlError{515,
                           QStringLiteral("Cannot insert the value NULL into an identity column."),
                           16, 2, false};
        IdentityState state = engine->catalogue().identity(objectId).value_or(IdentityState{});
        const qint64 n = value.toLongLong();
        if (!state.used || (state.increment > 0 ? n > state.current : n < state.current))
            state.current = n;
        state.used = true;
        engine->catalogue().setIdentity(objectId, state);
        if (Session* session = engine->currentSession())
            session->lastIdentity = n;
        sqlite3_result_int64(context, n);
    });
}

void rowVersionFunction(sqlite3_context* context, int, sqlite3_value**) {
    result(context, engineOf(context)->nextRowVersion());
}

std::optional<DateTimeTicks> ticksOf(sqlite3_context* context, const QVariant& value) {
    // A datetime column's value (the usual argument) is read as it is stored.
    constexpr qint64 firstDay = -53690; // 1753-01-01
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString();
        const auto ticks = fromStoredDateTime(text);
        if (ticks && ticks->days >= firstDay && storedDateTime(*ticks) == text)
            return ticks;
    }
    const QVariant stored =
        storeValue(SqlType{BaseType::DateTime, 0, 0, 0}, value, dateFormatOf(context));
    return stored.isNull() ? std::nullopt : fromStoredDateTime(stored.toString());
}

QDateTime asDateTime(const DateTimeTicks& t) {
    const qint64 ms = (t.ticks * 10 + 1) / 3;
    return QDateTime(QDate(1900, 1, 1).addDays(t.days), QTime(0, 0).addMSecs(int(ms)), Qt::UTC);
}

DateTimeTicks fromDateTime(const QDateTime& dt) {
    const qint64 days = QDate(1900, 1, 1).daysTo(dt.date());
    const qint64 ms = dt.time().msecsSinceStartOfDay();
    return DateTimeTicks{days, (ms * 3 + 5) / 10};
}

QString canonicalPart(QString part) {
    part = part.toLower();
    static const QHash<QString, QString> aliases = {
        {"yy", "year"},    {"yyyy", "year"}, {"qq", "quarter"},    {"q", "quarter"},
        {"mm", "month"},   {"m", "month"},   {"dy", "dayofyear"},  {"y", "dayofyear"},
        {"dd", "day"},     {"d", "day"},     {"wk", "week"},       {"ww", "week"},
        {"dw", "weekday"}, {"hh", "hour"},   {"mi", "minute"},     {"n", "minute"},
        {"ss", "second"},  {"s", "second"},  {"ms", "millisecond"}};
    return aliases.value(part, part);
}

void datePartFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    guarded(context, [&] {
        const auto t = ticksOf(context, arg(argv[1]));
        if (!t)
            return sqlite3_result_null(context);
        const QString part = canonicalPart(arg(argv[0]).toString());
        // As the stored text shows it: .000, .003, .007, ...
        if (part == QLatin1String("millisecond"))
            return sqlite3_result_int64(context, (t->ticks % 300 * 20 + 3) / 6);
        const QDateTime dt = asDateTime(*t);
        qint64 value = 0;
        if (part == QLatin1String("year"))
            value = dt.date().year();
        else if (part == QLatin1String("quarter"))
            value = (dt.date().month() + 2) / 3;
        else if (part == QLatin1String("month"))
            value = dt.date().month();
        else if (part == QLatin1String("dayofyear"))
            value = dt.date().dayOfYear();
        else if (part == QLatin1String("day"))
            value = dt.date().day();
        else if (part == QLatin1String("week"))
            value =
                (dt.date().dayOfYear() + QDate(dt.date().year(), 1, 1).dayOfWeek() % 7 - 1) / 7 + 1;
        else if (part == QLatin1String("weekday"))
            value = dt.date().dayOfWeek() % 7 + 1;
        else if (part == QLatin1String("hour"))
            value = dt.time().hour();
        else if (part == QLatin1String("minute"))
            value = dt.time().minute();
        else if (part == QLatin1String("second"))
            value = dt.time().second();
        else
            throw SqlError{155,
                           QStringLiteral("'%1' is not a recognized datepart option.").arg(part),
                           15, 1, true};
        sqlite3_result_int64(context, value);
    });
}

void dateAddFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    guarded(context, [&] {
        const auto t = ticksOf(context, arg(argv[2]));
        if (!t || sqlite3_value_type(argv[1]) == SQLITE_NULL)
            return sqlite3_result_null(context);
        const qint64 n = sqlite3_value_int64(argv[1]);
        const QString part = canonicalPart(arg(argv[0]).toString());
        QDateTime dt = asDateTime(*t);
        DateTimeTicks out = *t;
        if (part == QLatin1String("year"))
            out = fromDateTime(dt.addYears(int(n)));
        else if (part == QLatin1String("quarter"))
            out = fromDateTime(dt.addMonths(int(3 * n)));
        else if (part == QLatin1String("month"))
            out = fromDateTime(dt.addMonths(int(n)));
        else if (part == QLatin1String("day") || part == QLatin1String("dayofyear") ||
                 part == QLatin1String("weekday"))
            out.days += n;
        else if (part == QLatin1String("week"))
            out.days += 7 * n;
        else {
            const qint64 perUnit = part == QLatin1String("hour")     ? 3600 * 300
                                   : part == QLatin1String("minute") ? 60 * 300
                                   : part == QLatin1String("second") ? 300
                                                                     : 0;
            qint64 total = out.days * 25920000 + out.ticks;
            total += perUnit ? n * perUnit : (n * 3 + (n >= 0 ? 5 : -5)) / 10;
            out.days = total / 25920000;
            out.ticks = total % 25920000;
        }
        result(context, storedDateTime(out));
    });
}

void dateDiffFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    guarded(context, [&] {
        const auto a = ticksOf(context, arg(argv[1]));
        const auto b = ticksOf(context, arg(argv[2]));
        if (!a || !b)
            return sqlite3_result_null(context);
        const QString part = canonicalPart(arg(argv[0]).toString());
        const QDateTime da = asDateTime(*a);
        const QDateTime db = asDateTime(*b);
        qint64 value = 0;
        if (part == QLatin1String("year"))
            value = db.date().year() - da.date().year();
        else if (part == QLatin1String("month"))
            value =
                (db.date().year() - da.date().year()) * 12 + db.date().month() - da.date().month();
        else if (part == QLatin1String("day"))
            value = b->days - a->days;
        else if (part == QLatin1String("hour"))
            value = (b->days - a->days) * 24 + db.time().hour() - da.time().hour();
        else if (part == QLatin1String("minute"))
            value = ((b->days * 1440 + db.time().hour() * 60 + db.time().minute()) -
                     (a->days * 1440 + da.time().hour() * 60 + da.time().minute()));
        else if (part == QLatin1String("second"))
            value = ((b->days * 25920000 + b->ticks) / 300 - (a->days * 25920000 + a->ticks) / 300);
        else
            value = da.msecsTo(db);
        sqlite3_result_int64(context, value);
    });
}

void getDateFunction(sqlite3_context* context, int, sqlite3_value**) {
    result(context, storedDateTime(fromDateTime(QDateTime::currentDateTime())));
}

void globalFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    EngineContext* engine = engineOf(context);
    const Session* session = engine->currentSession();
    const QString name = arg(argv[0]).toString();
    QVariant value;
    if (name == QLatin1String("@@version"))
        value = engine->options().versionText();
    else if (name == QLatin1String("@@servername") || name == QLatin1String("@@servicename"))
        value = name == QLatin1String("@@servername") ? engine->options().serverName
                                                      : QStringLiteral("MSSQLSERVER");
    else if (name == QLatin1String("@@language"))
        value = session ? session->language : QString();
    else if (name == QLatin1String("@@spid"))
        value = session ? session->spid : 0;
    else if (name == QLatin1String("@@rowcount"))
        value = session ? session->rowCount : 0;
    else if (name == QLatin1String("@@error"))
        value = session ? session->lastError : 0;
    else if (name == QLatin1String("@@identity"))
        value =
            session && session->lastIdentity >= 0 ? QVariant(session->lastIdentity) : QVariant();
    else if (name == QLatin1String("@@datefirst"))
        value = 7;
    else if (name == QLatin1String("@@textsize"))
        value = session ? session->textSize : 4096;
    else if (name == QLatin1String("@@microsoftversion"))
        value = engine->options().majorVersion() * 16777216;
    else if (name == QLatin1String("@@max_precision"))
        value = 38;
    else if (name == QLatin1String("@@trancount"))
        value = session ? session->tranCount : 0;
    else if (name == QLatin1String("@@lock_timeout"))
        value = -1;
    else
        value = 0;
    result(context, value);
}

void schemaNameFunction(sqlite3_context* context, int argc, sqlite3_value** argv) {
    const int id = argc == 0 ? 1 : sqlite3_value_int(argv[0]);
    if (argc > 0 && sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(context);
    const QString name = engineOf(context)->catalogue().schemaName(id);
    result(context, name.isEmpty() ? QVariant() : QVariant(name));
}

void schemaIdFunction(sqlite3_context* context, int argc, sqlite3_value** argv) {
    if (argc == 0)
        return sqlite3_result_int(context, 1);
    const auto id = engineOf(context)->catalogue().schemaId(arg(argv[0]).toString());
    result(context, id ? QVariant(*id) : QVariant());
}

QStringList nameParts(const QString& text) {
    const LexResult lexed = lex(text);
    QStringList parts;
    for (const Token& t : lexed.tokens)
        if (t.isName())
            parts.append(t.text);
    return parts;
}

void objectIdFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    EngineContext* engine = engineOf(context);
    const Session* session = engine->currentSession();
    const auto object = engine->catalogue().find(
        sessionName(nameParts(arg(argv[0]).toString()), session ? session->spid : 0));
    result(context, object && object->objectId ? QVariant(object->objectId) : QVariant());
}

void objectNameFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    const auto object = engineOf(context)->catalogue().object(sqlite3_value_int(argv[0]));
    result(context, object ? QVariant(object->name) : QVariant());
}

void dbNameFunction(sqlite3_context* context, int, sqlite3_value**) {
    result(context, engineOf(context)->options().database);
}

void dbIdFunction(sqlite3_context* context, int, sqlite3_value**) {
    sqlite3_result_int(context, 5);
}

void loginNameFunction(sqlite3_context* context, int, sqlite3_value**) {
    const Session* session = engineOf(context)->currentSession();
    result(context, session ? session->login : QString());
}

void hostNameFunction(sqlite3_context* context, int, sqlite3_value**) {
    const Session* session = engineOf(context)->currentSession();
    result(context, session ? session->hostName : QString());
}

void serverPropertyFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    const QString property = arg(argv[0]).toString().toLower();
    EngineContext* engine = engineOf(context);
    if (property == QLatin1String("productversion"))
        result(context, engine->options().version);
    else if (property == QLatin1String("servername") || property == QLatin1String("machinename"))
        result(context, engine->options().serverName);
    else if (property == QLatin1String("edition"))
        result(context, QStringLiteral("Developer Edition"));
    else if (property == QLatin1String("collation"))
        result(context, QStringLiteral("SQL_Latin1_General_CP1_CI_AS"));
    else
        sqlite3_result_null(context);
}

void identCurrentFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    EngineContext* engine = engineOf(context);
    const auto object = engine->catalogue().find(nameParts(arg(argv[0]).toString()));
    const auto state = object ? engine->catalogue().identity(object->objectId) : std::nullopt;
    if (!state)
        return sqlite3_result_null(context);
    sqlite3_result_int64(context, state->current);
}

// IDENT_SEED and IDENT_INCR: null for a table without an identity column.
void identPropertyFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    EngineContext* engine = engineOf(context);
    const auto object = engine->catalogue().find(nameParts(arg(argv[0]).toString()));
    const auto state = object ? engine->catalogue().identity(object->objectId) : std::nullopt;
    if (!state)
        return sqlite3_result_null(context);
    const bool seed = arg(argv[1]).toString() == QLatin1String("seed");
    sqlite3_result_int64(context, seed ? state->seed : state->increment);
}

// sys.identity_columns: last_value is null while no row was inserted since
// the table was created or truncated.
void identityPropertyFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    EngineContext* engine = engineOf(context);
    const auto state = engine->catalogue().identity(sqlite3_value_int(argv[0]));
    const QString property = arg(argv[1]).toString();
    if (!state || (property == QLatin1String("last") && !state->used))
        return sqlite3_result_null(context);
    sqlite3_result_int64(context, property == QLatin1String("seed")        ? state->seed
                                  : property == QLatin1String("increment") ? state->increment
                                                                           : state->current);
}

// The time a system-versioned row starts or ends at, in UTC as the server
// keeps it, stored as the period column's type.
void periodNowFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    guarded(context, [&] {
        const QString now =
            QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz0000"));
        result(context, storeValue(typeOf(arg(argv[0]).toString()), now, {}));
    });
}

// OBJECTPROPERTY for the properties of keys the stand-in keeps.
void objectPropertyFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    const auto value = engineOf(context)->foreignKeys().property(sqlite3_value_int(argv[0]),
                                                                 arg(argv[1]).toString());
    if (!value)
        return sqlite3_result_null(context);
    sqlite3_result_int(context, *value ? 1 : 0);
}

void lenFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    const QVariant v = arg(argv[0]);
    if (v.isNull())
        return sqlite3_result_null(context);
    QString text = v.typeId() == QMetaType::Double ? shortestDouble(v.toDouble()) : v.toString();
    while (text.endsWith(u' '))
        text.chop(1);
    sqlite3_result_int64(context, text.size());
}

void dataLengthFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    const QVariant v = arg(argv[0]);
    if (v.isNull())
        return sqlite3_result_null(context);
    if (v.typeId() == QMetaType::QByteArray)
        return sqlite3_result_int64(context, v.toByteArray().size());
    if (v.typeId() == QMetaType::LongLong)
        return sqlite3_result_int64(context, 4);
    if (v.typeId() == QMetaType::Double)
        return sqlite3_result_int64(context, 8);
    // The column's type is not known here: text counts one byte a character.
    sqlite3_result_int64(context, v.toString().size());
}

void charIndexFunction(sqlite3_context* context, int argc, sqlite3_value** argv) {
    const QVariant needle = arg(argv[0]);
    const QVariant haystack = arg(argv[1]);
    if (needle.isNull() || haystack.isNull())
        return sqlite3_result_null(context);
    const int start = argc > 2 ? qMax(1, sqlite3_value_int(argv[2])) : 1;
    sqlite3_result_int64(
        context,
        haystack.toString().indexOf(needle.toString(), start - 1, Qt::CaseInsensitive) + 1);
}

void replaceFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    for (int i = 0; i < 3; ++i)
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL)
            return sqlite3_result_null(context);
    const QString from = arg(argv[1]).toString();
    QString text = arg(argv[0]).toString();
    if (!from.isEmpty())
        text.replace(from, arg(argv[2]).toString(), Qt::CaseInsensitive);
    result(context, text);
}

void leftFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(context);
    result(context, arg(argv[0]).toString().left(qMax(0, sqlite3_value_int(argv[1]))));
}

void rightFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(context);
    result(context, arg(argv[0]).toString().right(qMax(0, sqlite3_value_int(argv[1]))));
}

void spaceFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    result(context, QString(qMax(0, sqlite3_value_int(argv[0])), u' '));
}

void replicateFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(context);
    QString text = arg(argv[0]).toString().repeated(qMax(0, sqlite3_value_int(argv[1])));
    if (text.size() > 8000)
        text.truncate(8000);
    result(context, text);
}

void reverseFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(context);
    QString text = arg(argv[0]).toString();
    std::reverse(text.begin(), text.end());
    result(context, text);
}

void roundFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    const QVariant v = arg(argv[0]);
    if (v.isNull())
        return sqlite3_result_null(context);
    const int digits = sqlite3_value_int(argv[1]);
    const double factor = std::pow(10.0, digits);
    result(context, std::round(v.toDouble() * factor) / factor);
}

void newIdFunction(sqlite3_context* context, int, sqlite3_value**) {
    result(context, QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
}

void isNumericFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    const QVariant v = arg(argv[0]);
    sqlite3_result_int(
        context, v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Double ||
                     (v.typeId() == QMetaType::QString && readDouble(v.toString()).has_value()));
}

void strFunction(sqlite3_context* context, int argc, sqlite3_value** argv) {
    const QVariant v = arg(argv[0]);
    if (v.isNull())
        return sqlite3_result_null(context);
    const int length = argc > 1 ? sqlite3_value_int(argv[1]) : 10;
    const int decimals = argc > 2 ? sqlite3_value_int(argv[2]) : 0;
    QString text = QString::number(v.toDouble(), 'f', decimals);
    if (text.size() > length)
        text = QString(length, u'*');
    result(context, text.rightJustified(length, u' '));
}

struct FunctionEntry {
    const char* name;
    int args;
    void (*function)(sqlite3_context*, int, sqlite3_value**);
    bool deterministic;
};

} // namespace

bool likeMatches(const QString& value, const QString& pattern, QChar escape) {
    QString v = value;
    while (v.endsWith(u' '))
        v.chop(1);
    if (matchAt(v, 0, pattern, 0, escape))
        return true;
    return v.size() != value.size() && matchAt(value, 0, pattern, 0, escape);
}

// The functions as a table, one line each.
void registerSqlFunctions(sqlite3* db, EngineContext* engine) {
    sqlite3_create_collation(db, "tsql", SQLITE_UTF8, nullptr, compareCollated);
    sqlite3_create_collation(db, "tsql_cs", SQLITE_UTF8, nullptr, compareCaseSensitive);
    static const FunctionEntry entries[] = {
        {"tsql_like", 2, likeFunction, true},
        {"tsql_like", 3, likeFunction, true},
        {"tsql_add", 4, addFunction, true},
        {"tsql_divide", 2, divideFunction, true},
        {"tsql_float", 1, floatFunction, true},
        {"tsql_decimal", 1, decimalFunction, true},
        {"tsql_store", 2, storeFunction, true},
        {"tsql_convert", 2, convertFunction, true},
        {"tsql_convert", 3, convertFunction, true},
        {"tsql_variant", 2, variantFunction, true},
        {"tsql_variant_property", 2, variantPropertyFunction, true},
        {"tsql_next_identity", 1, nextIdentityFunction, false},
        {"tsql_seen_identity", 2, seenIdentityFunction, false},
        {"tsql_rowversion", 0, rowVersionFunction, false},
        {"tsql_datepart", 2, datePartFunction, true},
        {"tsql_dateadd", 3, dateAddFunction, false},
        {"tsql_datediff", 3, dateDiffFunction, false},
        {"tsql_getdate", 0, getDateFunction, false},
        {"tsql_global", 1, globalFunction, false},
        {"tsql_schema_name", 0, schemaNameFunction, false},
        {"tsql_schema_name", 1, schemaNameFunction, false},
        {"tsql_schema_id", 0, schemaIdFunction, false},
        {"tsql_schema_id", 1, schemaIdFunction, false},
        {"tsql_object_id", 1, objectIdFunction, false},
        {"tsql_object_id", 2, objectIdFunction, false},
        {"tsql_object_name", 1, objectNameFunction, false},
        {"tsql_db_name", 0, dbNameFunction, false},
        {"tsql_db_name", 1, dbNameFunction, false},
        {"tsql_db_id", 0, dbIdFunction, false},
        {"tsql_db_id", 1, dbIdFunction, false},
        {"tsql_login_name", 0, loginNameFunction, false},
        {"tsql_host_name", 0, hostNameFunction, false},
        {"tsql_serverproperty", 1, serverPropertyFunction, false},
        {"tsql_ident_current", 1, identCurrentFunction, false},
        {"tsql_ident_property", 2, identPropertyFunction, false},
        {"tsql_identity_property", 2, identityPropertyFunction, false},
        {"tsql_period_now", 1, periodNowFunction, false},
        {"tsql_objectproperty", 2, objectPropertyFunction, false},
        {"tsql_len", 1, lenFunction, true},
        {"tsql_datalength", 1, dataLengthFunction, true},
        {"tsql_charindex", 2, charIndexFunction, true},
        {"tsql_charindex", 3, charIndexFunction, true},
        {"tsql_replace", 3, replaceFunction, true},
        {"tsql_left", 2, leftFunction, true},
        {"tsql_right", 2, rightFunction, true},
        {"tsql_space", 1, spaceFunction, true},
        {"tsql_replicate", 2, replicateFunction, true},
        {"tsql_reverse", 1, reverseFunction, true},
        {"tsql_round", 2, roundFunction, true},
        {"tsql_round", 3, roundFunction, true},
        {"tsql_newid", 0, newIdFunction, false},
        {"tsql_isnumeric", 1, isNumericFunction, true},
        {"tsql_str", 1, strFunction, true},
        {"tsql_str", 2, strFunction, true},
        {"tsql_str", 3, strFunction, true},
    };
    for (const FunctionEntry& e : entries)
        sqlite3_create_function(db, e.name, e.args,
                                SQLITE_UTF8 | (e.deterministic ? SQLITE_DETERMINISTIC : 0), engine,
                                e.function, nullptr, nullptr);
}

} // namespace quarvex::standin
