#include "support/Database.h"

#include "base/ProcedureError.h"
#include "db/ExactNumber.h"
#include "db/RecordSet.h"

#include <QProcess>

namespace quarvex::test {

namespace {

QString exactly(const QVariant& value) {
    if (value.metaType() == QMetaType::fromType<ExactNumber>())
        return "exact:" + value.value<ExactNumber>().text;
    if (!value.isValid())
        return QStringLiteral("null");
    if (value.typeId() == QMetaType::QByteArray)
        return "0x" + value.toByteArray().toHex();
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().toString(Qt::ISODateWithMs);
    return QString(value.typeName()) + ':' + value.toString();
}

} // namespace

Database::Database(const StandInOptions& options)
    : server(options) {}

OdbcConnection& Database::connection() {
    if (!m_connection) {
        m_connection = std::make_unique<OdbcConnection>();
        m_connection->open(server.login());
    }
    return *m_connection;
}

QStringList Database::rows(const QString& query) {
    QStringList rows;
    for (RecordSet records(connection(), query); !records.atEnd(); records.moveNext()) {
        QStringList row;
        for (int i = 0; i < records.fieldCount(); ++i)
            row << records.value(i).toString();
        rows << row.join(u'|');
    }
    return rows;
}

QStringList Database::exactRows(const QString& query, const QString& leaveOut) {
    QStringList rows;
    for (RecordSet records(connection(), query); !records.atEnd(); records.moveNext()) {
        QStringList row;
        for (int i = 0; i < records.fieldCount(); ++i)
            if (records.fieldName(i) != leaveOut)
                row << records.fieldName(i) + '=' + exactly(records.value(i));
        rows << row.join(u'|');
    }
    return rows;
}

QStringList Database::load(const QString& script, bool stopAtError) {
    QStringList errors;
    QString previous;
    for (const QString& batch : script.split(QStringLiteral("\r\nGO\r\n"))) {
        if (batch.trimmed().isEmpty())
            continue;
        if (const auto failure = failureOf([&] { execute(batch); })) {
            errors << previous.trimmed() + "\n=> " + failure->description;
            if (stopAtError)
                break;
        }
        previous = batch;
    }
    return errors;
}

QString Database::loadThroughTsql(const QString& scriptPath) const {
    QProcess tsql;
    tsql.setStandardInputFile(scriptPath);
    tsql.setProcessChannelMode(QProcess::MergedChannels);
    tsql.start("tsql", {"-H", "127.0.0.1", "-p", QString::number(server.port()), "-U", "sa", "-P",
                        "pw", "-D", "Northwind"});
    tsql.waitForFinished(60000);
    return QString::fromLocal8Bit(tsql.readAll());
}

} // namespace quarvex::test
