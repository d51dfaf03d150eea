#include "core/Error.h"

#include <new>

namespace bf {

QString standardDescription(std::int32_t number)
{
    switch (number) {
    case err::InvalidProcedureCall: return QStringLiteral("Invalid procedure call or argument");
    case err::Overflow: return QStringLiteral("Overflow");
    case 7: return QStringLiteral("Out of memory");
    case 51: return QStringLiteral("Internal error");
    case err::SubscriptOutOfRange: return QStringLiteral("Subscript out of range");
    case err::TypeMismatch: return QStringLiteral("Type mismatch");
    case err::FileNotFound: return QStringLiteral("File not found");
    case err::FileAlreadyExists: return QStringLiteral("File already exists");
    case err::PermissionDenied: return QStringLiteral("Permission denied");
    case err::PathFileAccessError: return QStringLiteral("Path/File access error");
    case err::PathNotFound: return QStringLiteral("Path not found");
    case err::ObjectVariableNotSet:
        return QStringLiteral("Object variable or With block variable not set");
    case err::NotSupported: return QStringLiteral("Object doesn't support this property or method");
    case err::SpreadsheetFailure: return QStringLiteral("Application-defined or object-defined error");
    default: return QStringLiteral("Application-defined or object-defined error");
    }
}

void raise(std::int32_t number)
{
    throw Error(number, standardDescription(number));
}

ErrorInfo errorInfoOf(std::exception_ptr e)
{
    try {
        if (e)
            std::rethrow_exception(e);
    } catch (const Error& error) {
        return {error.number(), error.description()};
    } catch (const std::bad_alloc&) {
        return {7, standardDescription(7)};
    } catch (const std::exception& other) {
        return {51, QString::fromLocal8Bit(other.what())};
    } catch (...) {
        return {51, standardDescription(51)};
    }
    return {0, QString()};
}

} // namespace bf
