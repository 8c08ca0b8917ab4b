#pragma once

#include <QString>
#include <exception>
#include <optional>
#include <utility>

namespace quarvex {

// What went wrong, as far as the caller must act on it. Most failures concern
// one object and a run goes on past them; a connection that is gone, or a
// script file that can no longer be written, fails every object after it too,
// so the run ends there instead.
enum class FailureKind {
    Ordinary,
    ConnectionLost, // the server vanished, went silent or the link broke
    FileWrite,      // a script or scratch file could not be written
};

// The one error the program raises: a description and its kind. Whatever
// number or type the first error had, only its description and kind travel
// outward, and each re-raising procedure puts its own name in front of it.
class ProcedureError : public std::exception {
public:
    explicit ProcedureError(QString description, FailureKind kind = FailureKind::Ordinary);

    const QString& description() const noexcept { return m_description; }
    FailureKind kind() const noexcept { return m_kind; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_description;
    FailureKind m_kind;
    QByteArray m_utf8;
};

// A caught failure.
struct Failure {
    QString description;
    FailureKind kind = FailureKind::Ordinary;

    // True when nothing after this failure can succeed.
    bool endsRun() const { return kind != FailureKind::Ordinary; }
};

// Raises a ProcedureError; the program's own errors all go through here.
[[noreturn]] void raise(const QString& description, FailureKind kind = FailureKind::Ordinary);

// The current exception as a failure. Call only inside a catch block.
Failure currentFailure();

// The description of whatever the current exception is. Call only inside a
// catch block.
inline QString currentDescription() {
    return currentFailure().description;
}

// Runs body and returns the failure it raised, or nothing when it completed.
// The reporting and skip-and-continue forms are built on it.
template <typename Body> std::optional<Failure> failureOf(Body&& body) {
    try {
        std::forward<Body>(body)();
        return std::nullopt;
    } catch (...) {
        return currentFailure();
    }
}

// The re-raising form: runs body, and when it fails raises again, of the same
// kind, with procedure + ": " in front of the description and suffix behind it.
template <typename Body>
decltype(auto) reraisingAs(const QString& procedure, Body&& body, const QString& suffix = {}) {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        const Failure failure = currentFailure();
        raise(procedure + QStringLiteral(": ") + failure.description + suffix, failure.kind);
    }
}

// "Unexpected fall to Case Else": a choice over a closed set met another value.
[[noreturn]] void raiseUnexpectedCase();

} // namespace quarvex
