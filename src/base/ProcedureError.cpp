#include "base/ProcedureError.h"

#include <new>

namespace quarvex {

ProcedureError::ProcedureError(Failure failure)
    : m_failure(std::move(failure))
    , m_utf8(m_failure.description.toUtf8()) {}

void raise(const QString& description, FailureKind kind) {
    throw ProcedureError(Failure{description, kind});
}

void raise(Failure failure) {
    throw ProcedureError(std::move(failure));
}

Failure prefixed(Failure failure, const QString& procedure, const QString& suffix) {
    failure.description = procedure + QStringLiteral(": ") + failure.description + suffix;
    return failure;
}

Failure currentFailure() {
    try {
        throw;
    } catch (const ProcedureError& error) {
        return error.failure();
    } catch (const std::bad_alloc&) {
        return {QStringLiteral("Out of memory")};
    } catch (const std::exception& error) {
        return {QString::fromLocal8Bit(error.what())};
    } catch (...) {
        return {QStringLiteral("Unknown error")};
    }
}

void raiseUnexpectedCase() {
    raise(QStringLiteral("Unexpected fall to Case Else"));
}

} // namespace quarvex
