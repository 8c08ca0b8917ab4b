#include "scripting/ProcedureError.h"

#include <new>

namespace quarvex {

ProcedureError::ProcedureError(QString description)
    : m_description(std::move(description))
    , m_utf8(m_description.toUtf8()) {}

void raise(const QString& description) {
    throw ProcedureError(description);
}

QString currentDescription() {
    try {
        throw;
    } catch (const ProcedureError& error) {
        return error.description();
    } catch (const std::bad_alloc&) {
        return QStringLiteral("Out of memory");
    } catch (const std::exception& error) {
        return QString::fromLocal8Bit(error.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

void raiseUnexpectedCase() {
    raise(QStringLiteral("Unexpected fall to Case Else"));
}

} // namespace quarvex
