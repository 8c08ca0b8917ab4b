#pragma once

#include <QString>
#include <exception>
#include <optional>
#include <utility>

namespace quarvex {

// The one error the program raises: a description and nothing else. Whatever
// number or type the first error had, only its description travels outward,
// and each re-raising procedure puts its own name in front of it.
class ProcedureError : public std::exception {
public:
    explicit ProcedureError(QString description);

    const QString& description() const noexcept { return m_description; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_description;
    QByteArray m_utf8;
};

// Raises a ProcedureError; the program's own errors all go through here.
[[noreturn]] void raise(const QString& description);

// The description of whatever the current exception is. Call only inside a
// catch block.
QString currentDescription();

// Runs body and returns the description of the error it raised, or nothing
// when it completed. The reporting and skip-and-continue forms are built on it.
template <typename Body> std::optional<QString> failureOf(Body&& body) {
    try {
        std::forward<Body>(body)();
        return std::nullopt;
    } catch (...) {
        return currentDescription();
    }
}

// The re-raising form: runs body, and when it fails raises again with
// procedure + ": " in front of the description and suffix behind it.
template <typename Body>
decltype(auto) reraisingAs(const QString& procedure, Body&& body, const QString& suffix = {}) {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        raise(procedure + QStringLiteral(": ") + currentDescription() + suffix);
    }
}

// "Unexpected fall to Case Else": a choice over a closed set met another value.
[[noreturn]] void raiseUnexpectedCase();

} // namespace quarvex
