#pragma once

#include <QString>

namespace quarvex::standin {

// An error as SQL Server reports it: number, severity, wording. Thrown by the
// translation and execution code and turned into an ERROR token.
struct SqlError {
    int number = 0;
    QString message;
    int severity = 16;
    int state = 1;
    // Errors SQL Server treats as ending the whole batch (name resolution,
    // conversion); the others end only the statement.
    bool abortsBatch = false;
};

inline SqlError syntaxErrorNear(const QString& token, bool keyword) {
    return SqlError{102,
                    keyword ? QStringLiteral("Incorrect syntax near the keyword '%1'.").arg(token)
                            : QStringLiteral("Incorrect syntax near '%1'.").arg(token),
                    15, 1, true};
}

inline SqlError invalidObjectName(const QString& name) {
    return SqlError{208, QStringLiteral("Invalid object name '%1'.").arg(name), 16, 1, true};
}

inline SqlError invalidColumnName(const QString& name) {
    return SqlError{207, QStringLiteral("Invalid column name '%1'.").arg(name), 16, 1, true};
}

inline SqlError unsupported(const QString& what) {
    return SqlError{50000, QStringLiteral("The stand-in does not support %1.").arg(what), 16, 1,
                    true};
}

} // namespace quarvex::standin
