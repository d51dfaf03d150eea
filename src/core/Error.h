#pragma once
// A failure: a 32-bit number and a description, caught and reported by the handler that owns
// it. The numbers are the program's error numbers, shown in every report and listed below.
#include <QString>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace bf {

namespace err {
constexpr std::int32_t InvalidProcedureCall = 5;   // a name too short to shorten
constexpr std::int32_t Overflow = 6;
constexpr std::int32_t SubscriptOutOfRange = 9;    // no worksheet of that name, no such row
constexpr std::int32_t TypeMismatch = 13;          // text that is no Boolean
constexpr std::int32_t FileNotFound = 53;
constexpr std::int32_t FileAlreadyExists = 58;     // creating a folder or file that exists
constexpr std::int32_t PermissionDenied = 70;
constexpr std::int32_t PathFileAccessError = 75;
constexpr std::int32_t PathNotFound = 76;
constexpr std::int32_t ObjectVariableNotSet = 91;  // no current row to remove
constexpr std::int32_t NotSupported = 438;         // a toolbar key that names no handler
constexpr std::int32_t InvalidPicture = 481;       // an icon or cursor file that holds no picture
constexpr std::int32_t SpreadsheetFailure = 1004;  // cannot open, not a workbook, save refused
} // namespace err

class Error : public std::runtime_error {
public:
    Error(std::int32_t number, const QString& description)
        : std::runtime_error(description.toStdString()), number_(number), description_(description)
    {
    }
    std::int32_t number() const noexcept { return number_; }
    const QString& description() const noexcept { return description_; }

private:
    std::int32_t number_;
    QString description_;
};

// The standard description of a number ("File not found"), shown when a failure has no
// description of its own.
QString standardDescription(std::int32_t number);

// Throws Error(number, standardDescription(number)).
[[noreturn]] void raise(std::int32_t number);

// Any exception as a (number, description) pair: an Error as it is, anything else as an
// unexpected failure, so a handler can always build its report.
struct ErrorInfo {
    std::int32_t number;
    QString description;
};
ErrorInfo errorInfoOf(std::exception_ptr e);

} // namespace bf
