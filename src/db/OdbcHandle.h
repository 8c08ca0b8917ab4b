#pragma once

#include <QString>
#include <sql.h>
#include <sqlext.h>
#include <utility>

namespace quarvex {

// Owns one ODBC handle of the given type and frees it quietly.
template <SQLSMALLINT HandleType> class OdbcHandle {
public:
    OdbcHandle() = default;
    explicit OdbcHandle(SQLHANDLE handle)
        : m_handle(handle) {}
    OdbcHandle(OdbcHandle&& other) noexcept
        : m_handle(std::exchange(other.m_handle, SQLHANDLE{})) {}
    OdbcHandle& operator=(OdbcHandle&& other) noexcept {
        std::swap(m_handle, other.m_handle);
        return *this;
    }
    OdbcHandle(const OdbcHandle&) = delete;
    OdbcHandle& operator=(const OdbcHandle&) = delete;
    ~OdbcHandle() {
        if (m_handle != nullptr)
            SQLFreeHandle(HandleType, m_handle);
    }

    SQLHANDLE get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }

private:
    SQLHANDLE m_handle = nullptr;
};

using EnvironmentHandle = OdbcHandle<SQL_HANDLE_ENV>;
using ConnectionHandle = OdbcHandle<SQL_HANDLE_DBC>;
using StatementHandle = OdbcHandle<SQL_HANDLE_STMT>;

// Raises the handle's diagnostic records as one description when rc failed,
// with the first error's SQLSTATE and native number and the statement that
// was run. The failure ends the run (ConnectionLost) when the records say the
// link failed or timed out, or when the connection, if given, says it is
// dead; otherwise the server or driver refused (Refused).
void checkOdbc(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle,
               SQLHANDLE connection = SQL_NULL_HANDLE, const QString& statement = {});

// Every diagnostic record of the handle, in order, one per line.
QString odbcDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle);

} // namespace quarvex
