#include "base/ProcedureError.h"

#include <new>

namespace quarvex {

ProcedureError::ProcedureError(QString description, FailureKind kind)
    : m_description(std::move(description))
    , m_kind(kind)
    , m_utf8(m_description.toUtf8()) {}

void raise(const QString& description, FailureKind kind) {
    throw ProcedureError(description, kind);
}

Failure currentFailure() {
    try {
        throw;
    } catch (const ProcedureError& error) {
        return {error.description(), error.kind()};
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
