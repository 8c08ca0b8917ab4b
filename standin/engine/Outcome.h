#pragma once

#include "standin/values/SqlError.h"
#include "standin/values/SqlType.h"

#include <QList>
#include <QString>
#include <QVariant>
#include <memory>

namespace quarvex::standin {

class ResultCursor;

struct ResultColumn {
    QString name;
    SqlType type;
};

// What one statement of a batch produced, in the order the client sees it.
struct Outcome {
    enum class Kind { Rows, Done, Message };
    Kind kind = Kind::Done;
    QList<ResultColumn> columns; // Rows
    // Rows: where the rows are read from, one at a time; executeBatch()
    // reads them all into rows (SQLite values: qint64, double, QString, QByteArray).
    std::shared_ptr<ResultCursor> cursor;
    QList<QVariantList> rows;
    qint64 count = 0; // Rows, Done
    bool hasCount = false;
    int command = 0xC1; // TDS's current-command code of the DONE token
    SqlError message;   // Message
    bool isError = false;
    int line = 1;
    QString newLanguage; // SET LANGUAGE: the client is told
};

} // namespace quarvex::standin
