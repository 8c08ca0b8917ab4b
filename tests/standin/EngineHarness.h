#pragma once

#include "standin/engine/BatchRun.h"

#include <QTest>

namespace quarvex::test {

// Runs batches on an engine directly, without the wire, and reads back
// the first result set or the first error.
struct EngineHarness {
    explicit EngineHarness(const QString& version = QStringLiteral("9.00.1399"))
        : engine(options(version)) {}

    static standin::EngineOptions options(const QString& version) {
        standin::EngineOptions o;
        o.version = version;
        return o;
    }

    QList<standin::Outcome> run(const QString& batch) {
        return executeBatch(engine, session, batch);
    }

    QList<QVariantList> rows(const QString& batch) {
        for (const standin::Outcome& o : run(batch)) {
            if (o.kind == standin::Outcome::Kind::Rows)
                return o.rows;
            if (o.kind == standin::Outcome::Kind::Message && o.isError)
                qWarning("%s: %s", qPrintable(batch), qPrintable(o.message.message));
        }
        return {};
    }

    QVariant scalar(const QString& batch) { return rows(batch).value(0).value(0); }

    // Each row of the first result set, its values joined by blanks.
    QStringList lines(const QString& batch) {
        QStringList lines;
        for (const QVariantList& row : rows(batch)) {
            QStringList values;
            for (const QVariant& value : row)
                values << value.toString();
            lines << values.join(u' ');
        }
        return lines;
    }

    // The messages of a script's GO-separated batches in order: a PRINT's
    // text, an error as "Msg number: text".
    QStringList messages(const QString& script) {
        QStringList lines;
        for (const QString& batch : standin::splitBatches(script))
            for (const standin::Outcome& o : run(batch))
                if (o.kind == standin::Outcome::Kind::Message)
                    lines << (o.isError ? QStringLiteral("Msg %1: %2")
                                              .arg(o.message.number)
                                              .arg(o.message.message)
                                        : o.message.message);
        return lines;
    }

    // The first error, or a SqlError with number 0.
    standin::SqlError error(const QString& batch) {
        for (const standin::Outcome& o : run(batch))
            if (o.kind == standin::Outcome::Kind::Message && o.isError)
                return o.message;
        return {};
    }

    standin::Engine engine;
    standin::Session session;
};

} // namespace quarvex::test
