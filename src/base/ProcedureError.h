#pragma once

#include <QString>
#include <exception>
#include <optional>
#include <utility>

namespace quarvex {

// What went wrong, as far as a caller must act on it. A refused statement or
// the program's own objection concerns one object and a run goes on past it;
// a connection that is gone, or a script file that can no longer be written,
// fails every object after it too, so the run ends there instead.
enum class FailureKind {
    Ordinary,       // the program's own objection
    Refused,        // the server or the driver refused what it was asked
    ConnectionLost, // the server vanished, went silent or the link broke
    FileWrite,      // a script or scratch file could not be written
    // The rows read so far belong to one moment that later reads can no
    // longer join (a snapshot refused, a table locked too long).
    ConsistencyLost,
    Cancelled, // the user (or a signal) asked the operation to stop
};

// A failure with its facts. Only the description is shown to the user; the
// rest lets callers decide by kind instead of by matching message text.
struct Failure {
    QString description;
    FailureKind kind = FailureKind::Ordinary;
    // For a database failure: the first error record's SQLSTATE and native
    // error number, and the SQL text it ran (empty when it ran none).
    QString sqlState{};
    qint32 nativeError = 0;
    QString statement{};

    // True when nothing after this failure can succeed.
    bool endsRun() const {
        return kind == FailureKind::ConnectionLost || kind == FailureKind::FileWrite ||
               kind == FailureKind::ConsistencyLost || kind == FailureKind::Cancelled;
    }
};

// The one error the program raises. Whatever number or type the first error
// had, only its failure travels outward, and each re-raising procedure puts
// its own name in front of the description.
class ProcedureError : public std::exception {
public:
    explicit ProcedureError(Failure failure);

    const Failure& failure() const noexcept { return m_failure; }
    const QString& description() const noexcept { return m_failure.description; }
    FailureKind kind() const noexcept { return m_failure.kind; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    Failure m_failure;
    QByteArray m_utf8;
};

// Raises a ProcedureError; the program's own errors all go through here.
[[noreturn]] void raise(const QString& description, FailureKind kind = FailureKind::Ordinary);
[[noreturn]] void raise(Failure failure);

// The current exception as a failure. Call only inside a catch block.
Failure currentFailure();

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

// The failure with procedure + ": " in front of its description and suffix
// behind it; its facts stay.
Failure prefixed(Failure failure, const QString& procedure, const QString& suffix = {});

// The re-raising form: runs body, and when it fails raises the same failure
// again with procedure + ": " in front of the description and suffix behind it.
template <typename Body>
decltype(auto) reraisingAs(const QString& procedure, Body&& body, const QString& suffix = {}) {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        raise(prefixed(currentFailure(), procedure, suffix));
    }
}

// "Unexpected fall to Case Else": a choice over a closed set met another value.
[[noreturn]] void raiseUnexpectedCase();

} // namespace quarvex
