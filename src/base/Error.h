#pragma once
// The one error type of the program: a numbered kind and a description.
// The numbers are the ones failure reports print, so they never change.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace crossmeld {

enum class ErrorKind : std::int32_t {
    InvalidProcedureCall = 5,
    Overflow = 6,
    OutOfMemory = 7,
    SubscriptOutOfRange = 9,
    DivisionByZero = 11,
    TypeMismatch = 13,
    BadFileNameOrNumber = 52,
    FileNotFound = 53,
    BadFileMode = 54,
    InputPastEndOfFile = 62,
    DiskFull = 61,
    PermissionDenied = 70,
    PathFileAccessError = 75,
    PathNotFound = 76,
    InvalidPicture = 481,
};

// The standard description of a kind ("Overflow", "File not found", ...).
const char* DefaultDescription(ErrorKind kind);

class Error : public std::runtime_error {
public:
    explicit Error(ErrorKind kind);
    Error(ErrorKind kind, std::string description);

    ErrorKind kind() const noexcept { return m_kind; }
    std::int32_t number() const noexcept { return static_cast<std::int32_t>(m_kind); }
    const std::string& description() const noexcept { return m_description; }

private:
    ErrorKind m_kind;
    std::string m_description;
};

}  // namespace crossmeld
