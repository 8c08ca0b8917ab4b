#pragma once

#include <utility>

namespace quarvex {

// Owns one ODBC handle and frees it quietly. The handle is opaque here, so
// that the ODBC headers stay inside the database layer's .cpp files.
class OdbcHandle {
public:
    // The ODBC handle types, with their SQL_HANDLE_* values.
    enum class Type : short { Environment = 1, Connection = 2, Statement = 3 };

    OdbcHandle() = default;
    OdbcHandle(Type type, void* handle)
        : m_type(type)
        , m_handle(handle) {}
    OdbcHandle(OdbcHandle&& other) noexcept
        : m_type(other.m_type)
        , m_handle(std::exchange(other.m_handle, nullptr)) {}
    OdbcHandle& operator=(OdbcHandle&& other) noexcept {
        std::swap(m_type, other.m_type);
        std::swap(m_handle, other.m_handle);
        return *this;
    }
    OdbcHandle(const OdbcHandle&) = delete;
    OdbcHandle& operator=(const OdbcHandle&) = delete;
    ~OdbcHandle();

    void* get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }

private:
    Type m_type = Type::Statement;
    void* m_handle = nullptr;
};

} // namespace quarvex
