#include "base/Error.h"

namespace crossmeld {

const char* DefaultDescription(ErrorKind kind) {
    switch (kind) {
        case ErrorKind::InvalidProcedureCall: return "Invalid procedure call or argument";
        case ErrorKind::Overflow: return "Overflow";
        case ErrorKind::OutOfMemory: return "Out of memory";
        case ErrorKind::SubscriptOutOfRange: return "Subscript out of range";
        case ErrorKind::DivisionByZero: return "Division by zero";
        case ErrorKind::TypeMismatch: return "Type mismatch";
        case ErrorKind::BadFileNameOrNumber: return "Bad file name or number";
        case ErrorKind::FileNotFound: return "File not found";
        case ErrorKind::BadFileMode: return "Bad file mode";
        case ErrorKind::DiskFull: return "Disk full";
        case ErrorKind::InputPastEndOfFile: return "Input past end of file";
        case ErrorKind::PermissionDenied: return "Permission denied";
        case ErrorKind::PathFileAccessError: return "Path/File access error";
        case ErrorKind::PathNotFound: return "Path not found";
        case ErrorKind::InvalidPicture: return "Invalid picture";
    }
    return "Application-defined or object-defined error";
}

Error::Error(ErrorKind kind) : Error(kind, DefaultDescription(kind)) {}

Error::Error(ErrorKind kind, std::string description)
    : std::runtime_error(description), m_kind(kind), m_description(std::move(description)) {}

}  // namespace crossmeld
