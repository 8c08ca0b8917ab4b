#include "standin/store/Sqlite.h"

namespace quarvex::standin {

SqliteStatement::SqliteStatement(sqlite3* db, const QString& sql)
    : m_db(db) {
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &m_statement, nullptr) !=
        SQLITE_OK) {
        m_error = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(m_statement);
        m_statement = nullptr;
    }
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(m_statement);
}

void SqliteStatement::bind(int position, const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Bool:
        sqlite3_bind_int64(m_statement, position, value.toLongLong());
        break;
    case QMetaType::Double:
        sqlite3_bind_double(m_statement, position, value.toDouble());
        break;
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        sqlite3_bind_blob(m_statement, position, bytes.constData(), int(bytes.size()),
                          SQLITE_TRANSIENT);
        break;
    }
    default:
        if (value.isNull()) {
            sqlite3_bind_null(m_statement, position);
        } else {
            const QByteArray text = value.toString().toUtf8();
            sqlite3_bind_text(m_statement, position, text.constData(), int(text.size()),
                              SQLITE_TRANSIENT);
        }
    }
}

int SqliteStatement::step() {
    const int rc = sqlite3_step(m_statement);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
    return rc;
}

QVariant SqliteStatement::value(int column) const {
    switch (sqlite3_column_type(m_statement, column)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(m_statement, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_statement, column));
    case SQLITE_TEXT:
        return QString::fromUtf8(
            reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column)),
            sqlite3_column_bytes(m_statement, column));
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char*>(sqlite3_column_blob(m_statement, column)),
                          sqlite3_column_bytes(m_statement, column));
    default:
        return QVariant();
    }
}

QString sqliteExec(sqlite3* db, const QString& sql, const QVariantList& arguments) {
    if (arguments.isEmpty()) {
        char* message = nullptr;
        if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK) {
            const QString text = QString::fromUtf8(message);
            sqlite3_free(message);
            return text.isEmpty() ? QStringLiteral("SQLite error") : text;
        }
        return {};
    }
    SqliteStatement statement(db, sql);
    if (!statement.ok())
        return statement.error();
    for (int i = 0; i < arguments.size(); ++i)
        statement.bind(i + 1, arguments[i]);
    const int rc = statement.step();
    return rc == SQLITE_DONE || rc == SQLITE_ROW ? QString() : statement.error();
}

QVariant sqliteScalar(sqlite3* db, const QString& sql, const QVariantList& arguments) {
    SqliteStatement statement(db, sql);
    if (!statement.ok())
        return {};
    for (int i = 0; i < arguments.size(); ++i)
        statement.bind(i + 1, arguments[i]);
    return statement.step() == SQLITE_ROW ? statement.value(0) : QVariant();
}

QString quoteName(const QString& name) {
    return u'"' + QString(name).replace(u'"', QLatin1String("\"\"")) + u'"';
}

QString quoteString(const QString& text) {
    return u'\'' + QString(text).replace(u'\'', QLatin1String("''")) + u'\'';
}

QString sqliteLiteral(const QVariant& value) {
    if (value.isNull() || !value.isValid())
        return QStringLiteral("null");
    switch (value.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
        return QString::number(value.toLongLong());
    case QMetaType::Double: {
        // Seventeen digits read back as the same double; a whole one keeps a
        // point, or SQLite would read an integer.
        QString text = QString::number(value.toDouble(), 'g', 17);
        if (!text.contains(u'.') && !text.contains(u'e'))
            text += QStringLiteral(".0");
        return text;
    }
    case QMetaType::QByteArray:
        return QStringLiteral("x'") + QString::fromLatin1(value.toByteArray().toHex()) + u'\'';
    default:
        return quoteString(value.toString());
    }
}

} // namespace quarvex::standin
